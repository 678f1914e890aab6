// The serialiser: the node walk hands each tag, attribute and data text to a
// staging object that protects it and passes it to the sink's text
// primitives. The walk keeps an explicit stack, so no tree is too deep.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "module/reports.h"
#include "tqcore/wtext.h"
#include "tqplatform/system.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlout.h"
#include "xmlobj/short_copy.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {

namespace {

// What the serialiser needs to know of a character, by table: it is asked
// for every character of every text written.
enum : unsigned char {
    kPlain = 0,
    kSpace = 1,   // the space character
    kBreak = 2,   // TAB, LF or CR: white space that never survives as data
    kMarkup = 3,  // one of & < > " '
};

// Every character that is not plain lies below 0x40.
constexpr unsigned int kClassTableSize = 0x40;

struct ClassTable {
    unsigned char cls[kClassTableSize];
    constexpr ClassTable() : cls{} {
        cls[' '] = kSpace;
        cls['\t'] = cls['\n'] = cls['\r'] = kBreak;
        cls['&'] = cls['<'] = cls['>'] = cls['"'] = cls['\''] = kMarkup;
    }
};
constexpr ClassTable kClasses;

unsigned char Classify(unsigned short c) {
    return c < kClassTableSize ? kClasses.cls[c] : static_cast<unsigned char>(kPlain);
}

// Whether data text must go into CDATA to survive a reader that trims and
// collapses white space in data.
bool NeedsCDATA(const unsigned short* text) noexcept {
    if (!text || !*text) return false;
    unsigned char previous = Classify(*text);
    if (previous != kPlain) return true;
    for (const unsigned short* p = text + 1; *p; ++p) {
        const unsigned char cls = Classify(*p);
        if (cls == kPlain) {
            previous = cls;
            continue;
        }
        // A lone space between other characters is the only markup-free
        // white space that reads back unchanged.
        if (cls != kSpace || previous == kSpace) return true;
        previous = cls;
    }
    return previous == kSpace;
}

// The entity of a markup character in an attribute value. TAB, LF and CR are
// not escaped: they are written as they are.
struct Entity {
    const char16_t* text;
    unsigned int chars;
};

Entity EntityFor(unsigned short c) {
    switch (c) {
        case '"':
            return {u"&quot;", 6};
        case '&':
            return {u"&amp;", 5};
        case '\'':
            return {u"&apos;", 6};
        case '<':
            return {u"&lt;", 4};
        default:
            return {u"&gt;", 4};
    }
}

// The first unit in [p, end) that is markup, or `end`. Attribute values are
// mostly plain: eight units a step where SSE2 is present, with unaligned
// loads that stay within [p, end), the last one overlapping the one before;
// unit by unit in a value shorter than eight.
const unsigned short* FindMarkup(const unsigned short* p, const unsigned short* end) noexcept {
#if defined(__SSE2__)
    if (end - p >= 8) {
        // Two bits per unit: bit 2k is set when unit k is markup.
        const auto markupAt = [](const unsigned short* at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const auto is = [&v](char c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(c)); };
            const __m128i hit =
                _mm_or_si128(_mm_or_si128(is('&'), is('<')),
                             _mm_or_si128(_mm_or_si128(is('>'), is('"')), is('\'')));
            return static_cast<unsigned>(_mm_movemask_epi8(hit));
        };
        for (; end - p >= 8; p += 8)
            if (const unsigned mask = markupAt(p)) return p + __builtin_ctz(mask) / 2;
        if (p == end) return end;
        const unsigned short* last = end - 8;
        const unsigned mask = markupAt(last) >> ((p - last) * 2);
        return mask ? p + __builtin_ctz(mask) / 2 : end;
    }
#endif
    while (p != end && Classify(*p) != kMarkup) ++p;
    return p;
}

// Finds "]]>" in [p, end); `end` when there is none.
const unsigned short* FindCDATAEnd(const unsigned short* p, const unsigned short* end) {
    for (; end - p >= 3; ++p)
        if (p[0] == ']' && p[1] == ']' && p[2] == '>') return p;
    return end;
}

constexpr const char* kWriteoutSignature =
    "bool tqcore::CXMLObject::_writeout(tqcore::CXMLOut&) const";

// How far ahead among siblings each stage of fetching runs (measured on the
// corpus): the body; its name, text and the starts of its lists; the first
// attribute values and child bodies; the texts of those children.
constexpr unsigned int kFetchBody = 8;
constexpr unsigned int kFetchFields = 4;
constexpr unsigned int kFetchLists = 2;
constexpr unsigned int kFetchChildTexts = 1;
// Attributes or children of one node fetched ahead; children of a list just
// opened whose texts are fetched; attribute values fetched ahead of the one
// being written.
constexpr unsigned int kFetchItems = 8;
constexpr unsigned int kFetchPrimed = 4;
constexpr unsigned int kFetchAttributeValue = 4;
// The object-memory header in front of a list's items.
constexpr std::ptrdiff_t kBlockHeaderBytes = 32;

void Fetch(const void* p) {
    __builtin_prefetch(p);
}

// A pooled string's length lies in front of its text.
void FetchString(const CPPoolString& s) {
    if (const unsigned short* text = s) {
        Fetch(text - 6);
        Fetch(text);
    }
}

// The items of a list's block and their count.
template <class Item>
const Item* ListItems(const CPObjectMemory& mem, unsigned int& count) {
    count = static_cast<unsigned int>(mem.GetSize() / sizeof(Item));
    return static_cast<const Item*>(static_cast<const void*>(mem));
}

// The first items of a list's block, at most kFetchItems of them.
template <class Item>
const Item* FirstItems(const CPObjectMemory& mem, unsigned int& count) {
    const Item* items = ListItems<Item>(mem, count);
    count = std::min(count, kFetchItems);
    return items;
}

// An element being written and its children; the open elements, outermost
// first, are a heap stack, so that depth costs no call stack.
struct OpenElement {
    const CXMLObject* node;
    const CXMLObject* children;
    unsigned int count;
    unsigned int next;
};

bool IsDocumentRoot(const CPPoolString& name) {
    return static_cast<const unsigned short*>(name)[0] == '<';
}

}  // namespace

namespace detail {

// Small pieces are gathered into whole lines (or, on an unformatted sink,
// into blocks) before they go to the sink: a sink call per tag, name and
// value would cost more than the text itself. A line is handed over before
// its line end, while the level is still the one it started at. The steps
// returning bool fail only when a line end could not be written.
class OutStage {
  public:
    explicit OutStage(CXMLOut& out) noexcept : m_out(out), m_lineByLine(out.m_fFormat) {}
    // Whatever is still gathered goes to the sink with the stage, also after
    // a failed step, so that a stopped walk leaves the text where it stood.
    ~OutStage() { handOver(); }
    OutStage(const OutStage&) = delete;
    OutStage& operator=(const OutStage&) = delete;

    // "<name", to be followed by the attributes and one of the closing steps.
    void startTag(const CPPoolString& name) { around(u"<", name, u""); }
    void attribute(const CPPoolString& name, const CPPoolString& value) {
        around(u" ", name, u"=\"");
        escaped(value);
        literal(u"\"");
    }
    bool emptyTagEnd() {
        literal(u"/>");
        return lineEnd();
    }
    // Closes the start tag of an element; its children follow one level in.
    bool openChildren() {
        literal(u">");
        if (!lineEnd()) return false;
        m_out.Indent();
        return true;
    }
    bool closeChildren(const CPPoolString& name) {
        m_out.Unindent();
        return endTag(name);
    }
    // Closes the start tag, writes the data raw or as CDATA and the end tag.
    bool dataContent(const CPPoolString& name, const CPPoolString& data) {
        if (NeedsCDATA(data)) {
            literal(u">");
            if (!cdata(data)) return false;
        } else {
            around(u">", data, u"");
        }
        return endTag(name);
    }

  private:
    // Characters gathered before they go to the sink.
    static constexpr std::size_t kStageChars = 4096;

    void piece(const unsigned short* from, const unsigned short* to) {
        const auto n = static_cast<std::size_t>(to - from);
        if (n > kStageChars - m_staged) {
            handOver();
            if (n > kStageChars) {
                m_out.WriteTo(from, to);
                return;
            }
        }
        detail::CopyShort(m_stage + m_staged, from, n * sizeof(unsigned short));
        m_staged += n;
    }
    // A pooled string between two literals, gathered in one step: most
    // tags, names and values fit the stage's room, and one check of it
    // serves all three.
    template <std::size_t B, std::size_t A>
    void around(const char16_t (&before)[B], const CPPoolString& s, const char16_t (&after)[A]) {
        const std::size_t len = s.len();
        const std::size_t n = (B - 1) + len + (A - 1);
        if (n > kStageChars - m_staged) {
            handOver();
            if (n > kStageChars) {
                literal(before);
                pooled(s);
                literal(after);
                return;
            }
        }
        unsigned short* at = m_stage + m_staged;
        detail::CopyShort(at, W(before), (B - 1) * sizeof(unsigned short));
        detail::CopyShort(at + (B - 1), static_cast<const unsigned short*>(s),
                          len * sizeof(unsigned short));
        detail::CopyShort(at + (B - 1) + len, W(after), (A - 1) * sizeof(unsigned short));
        m_staged += n;
    }
    template <std::size_t N>
    void literal(const char16_t (&text)[N]) {
        piece(W(text), W(text) + (N - 1));
    }
    void pooled(const CPPoolString& s) {
        const unsigned short* p = s;
        piece(p, p + s.len());
    }
    void escaped(const CPPoolString& value) {
        const unsigned short* p = value;
        if (!p) return;
        const unsigned short* run = p;
        const unsigned short* end = p + value.len();
        for (; (p = FindMarkup(p, end)) != end; ++p) {
            piece(run, p);
            const Entity entity = EntityFor(*p);
            piece(W(entity.text), W(entity.text) + entity.chars);
            run = p + 1;
        }
        piece(run, end);
    }
    // On a line of its own, one level in; "]]>" inside the text splits it
    // into sections so that it reads back unchanged.
    bool cdata(const CPPoolString& text) {
        if (!lineEnd()) return false;
        m_out.Indent();
        const unsigned short* rest = text;
        const unsigned short* end = rest + text.len();
        for (const unsigned short* at; (at = FindCDATAEnd(rest, end)) != end; rest = at + 2) {
            literal(u"<![CDATA[");
            piece(rest, at + 2);
            literal(u"]]>");
        }
        literal(u"<![CDATA[");
        piece(rest, end);
        literal(u"]]>");
        if (!lineEnd()) return false;
        m_out.Unindent();
        return true;
    }
    bool endTag(const CPPoolString& name) {
        around(u"</", name, u">");
        return lineEnd();
    }
    void handOver() {
        m_out.WriteTo(m_stage, m_stage + m_staged);
        m_staged = 0;
    }
    // An unformatted sink has no line ends and no indentation to begin a
    // line with.
    bool lineEnd() {
        if (!m_lineByLine) return true;
        handOver();
        return m_out.eol();
    }

    CXMLOut& m_out;
    const bool m_lineByLine;
    std::size_t m_staged = 0;
    unsigned short m_stage[kStageChars];
};

}  // namespace detail

bool CXMLObject::CDATARequired(const unsigned short* text) const noexcept {
    return NeedsCDATA(text);
}

// Type 3 (data and children): the children are not listed for it, so it is
// written as a data node. Its start tag is closed once, its data follows and
// its end tag ends the line; it reads back as a data node with that text.
bool CXMLObject::_writeout(CXMLOut& out) const {
    detail::OutStage stage(out);
    enum class Entered { Failed, Done, Children };
    // Out of line: most elements have none, and the scanning of values would
    // crowd the path they take.
    auto attributes = [&stage](const CXMLAttribute* attribs, unsigned int count)
        __attribute__((noinline)) {
        for (unsigned int i = 0; i < count; ++i) {
            if (i + kFetchAttributeValue < count)
                FetchString(attribs[i + kFetchAttributeValue].m_Value);
            stage.attribute(attribs[i].m_Name, attribs[i].m_Value);
        }
    };
    // Writes what precedes a node's children, or the whole node when it has none.
    auto enter = [&stage, &attributes](const CXMLObject& node) {
        const CXMLObjectBody* body = node.m_pO;
        if (!body) {
            reports::Assumption(reports::kXmlObj, "m_pO", __LINE__, kWriteoutSignature);
            return Entered::Failed;
        }
        const CPPoolString& name = body->m_Name;
        if (!name) return Entered::Failed;
        if (IsDocumentRoot(name)) return Entered::Children;
        stage.startTag(name);
        unsigned int count = 0;
        const CXMLAttribute* attribs =
            body->m_Attribs.HasBlock() ? body->m_Attribs.GetArray(count) : nullptr;
        if (count) attributes(attribs, count);
        bool written;
        switch (body->m_uType) {
            case CXML_TYPE_ELEMENT:
                return stage.openChildren() ? Entered::Children : Entered::Failed;
            case CXML_TYPE_DATA:
            case CXML_TYPE_PROCESS:
                written = stage.dataContent(name, body->m_Data);
                break;
            default:
                written = stage.emptyTagEnd();
        }
        return written ? Entered::Done : Entered::Failed;
    };
    // A node whose children follow: only an element lists them.
    auto opened = [](const CXMLObject& node) {
        const CXMLObjectBody* body = node.m_pO;
        unsigned int count;
        const CXMLObject* children = ListItems<CXMLObject>(body->m_Elements.m_mem, count);
        if (body->m_uType != CXML_TYPE_ELEMENT) count = 0;
        return OpenElement{&node, children, count, 0};
    };
    // Writes what follows a node's children.
    auto leave = [&stage](const CXMLObject& node) {
        const CPPoolString& name = node.m_pO->m_Name;
        return IsDocumentRoot(name) || stage.closeChildren(name);
    };
    // Bodies, their names, texts and lists lie apart in memory, each reached
    // through the one before. While one sibling is written, the siblings
    // ahead are fetched in stages, each reading only what an earlier stage
    // fetched (distances at kFetchBody). A local class, as only this node's members
    // reach the lists' blocks.
    struct Ahead {
        // A list's block and the header in front of it, which holds its size.
        static void block(const CPObjectMemory& mem) {
            if (const void* items = mem) {
                Fetch(static_cast<const char*>(items) - kBlockHeaderBytes);
                Fetch(items);
            }
        }
        static void texts(const CXMLObjectBody* body) {
            FetchString(body->m_Name);
            FetchString(body->m_Data);
        }
        static void step(const CXMLObject* siblings, unsigned int left) {
            if (left > kFetchBody) Fetch(siblings[kFetchBody].m_pO);
            if (left > kFetchFields)
                if (const CXMLObjectBody* body = siblings[kFetchFields].m_pO) {
                    texts(body);
                    block(body->m_Attribs.m_mem);
                    block(body->m_Elements.m_mem);
                }
            unsigned int n;
            if (left > kFetchLists)
                if (const CXMLObjectBody* body = siblings[kFetchLists].m_pO) {
                    const CXMLAttribute* attribs =
                        FirstItems<CXMLAttribute>(body->m_Attribs.m_mem, n);
                    for (unsigned int i = 0; i < n; ++i) FetchString(attribs[i].m_Value);
                    const CXMLObject* children = FirstItems<CXMLObject>(body->m_Elements.m_mem, n);
                    for (unsigned int i = 0; i < n; ++i) Fetch(children[i].m_pO);
                }
            if (left > kFetchChildTexts)
                if (const CXMLObjectBody* body = siblings[kFetchChildTexts].m_pO) {
                    const CXMLObject* children = FirstItems<CXMLObject>(body->m_Elements.m_mem, n);
                    for (unsigned int i = 0; i < n; ++i)
                        if (const CXMLObjectBody* child = children[i].m_pO) texts(child);
                }
        }
        // A list just opened: the texts of its first children, whose bodies
        // came with the stages of their parent.
        static void prime(const OpenElement& list) {
            for (unsigned int i = 0; i < std::min(list.count, kFetchPrimed); ++i)
                if (const CXMLObjectBody* child = list.children[i].m_pO) texts(child);
        }
    };
    const Entered first = enter(*this);
    if (first != Entered::Children) return first == Entered::Done;
    detail::HeapStack<OpenElement> open;
    if (!open.push(opened(*this))) return false;
    Ahead::prime(open.top());
    while (!open.empty()) {
        OpenElement& top = open.top();
        if (top.next < top.count) {
            Ahead::step(top.children + top.next, top.count - top.next);
            const CXMLObject& child = top.children[top.next++];
            const Entered step = enter(child);
            if (step == Entered::Failed) return false;
            if (step == Entered::Children) {
                if (!open.push(opened(child))) return false;
                Ahead::prime(open.top());
            }
            continue;
        }
        if (!leave(*top.node)) return false;
        open.pop();
    }
    return true;
}

bool CXMLObject::Write(CXMLOut& out) const {
    if (tqplat::IsDebuggerPresent())
        reports::IllegalCode(reports::kXmlObj, "CXMLObject::Write is obsolete", __LINE__,
                             "bool tqcore::CXMLObject::Write(tqcore::CXMLOut&) const");
    return out.Write(*this);
}

}  // namespace tqcore
