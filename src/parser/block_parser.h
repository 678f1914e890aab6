#pragma once
// The block parser, written once for the three unit widths. It works in place
// on the document's zero-terminated buffer: pieces are taken by their
// lengths, references are decoded and white space is collapsed over text
// already read, and each finished piece goes straight to the node operations.
// Pieces and end tags are left uncut (no terminator written after them): a
// narrow store just before a finder's wide read of the same block holds that
// read up until every store before it has retired.
//
// Every step that can fail records its code and position before it scans and
// leaves the record standing when it succeeds; a failure without a code of
// its own reports the record that stands.
#include <atomic>
#include <cstdint>
#include <new>

#include "parser/attribute_names.h"
#include "parser/piece_cache.h"
#include "parser/raw_items.h"
#include "parser/scan.h"
#include "parser/second_half.h"
#include "parser/text_batch.h"
#include "parser/unit_traits.h"
#include "tqcore/heap.h"
#include "tqcore/pool.h"
#include "tqcore/wtext.h"
#include "tqxml/xmldoc.h"
#include "xmlobj/body_release.h"

namespace tqcore {

template <class T>
class CXMLDoc::BlockParser {
  public:
    explicit BlockParser(CXMLDoc& doc) noexcept : m_doc(doc) {}

    // Tags mostly follow each other with no space between: a unit above the
    // space is answered without the finder's call.
    T* SkipWhitespace(T* p) const noexcept { return *p > T(' ') ? p : Scan::SkipSpace(p); }

    T* SetErrorPosition(T* p, ParseError code) noexcept {
        m_doc.m_pErrorPos = p;
        m_doc.m_uErrorCode = static_cast<std::uint32_t>(code);
        return nullptr;
    }

    // Classifies the construct at `p`, terminates it and returns where parsing
    // goes on: the construct itself for data, CDATA and start tags, which are
    // read in one pass that finds their close.
    T* Tag_FindEnd(T* p, unsigned int& kind) noexcept {
        kind = CXML_TAG_NONE;
        if (*p == 0) return SetErrorPosition(p, ParseError::EndOfFile);
        if (*p != T('<')) {
            kind = CXML_TAG_DATA;
            return p;
        }
        T* q = p + 1;
        if (startsWith(q, "!--")) return findCommentEnd(p, kind);
        if (startsWith(q, "![CDATA[")) {
            kind = CXML_TAG_CDATA;
            return p;
        }
        unsigned int found;
        T* s = q + 1;
        if (*q == T('!'))
            found = CXML_TAG_DECLARATION;
        else if (*q == T('/'))
            found = CXML_TAG_END;
        else if (*q == T('?'))
            found = CXML_TAG_PROCESS;
        else if (classOf(*q) & parser::kNameStart) {
            kind = CXML_TAG_START;
            return p;
        } else
            return SetErrorPosition(q, ParseError::IllegalCharacter);

        T* g = findTagClose(s, found == CXML_TAG_DECLARATION);
        if (!g) return nullptr;
        if (found == CXML_TAG_PROCESS) {
            if (g[-1] != T('?')) return SetErrorPosition(g - 1, ParseError::InvalidTag);
            g[-1] = 0;
        } else if (g[-1] == T('/')) {
            g[-1] = 0;
            found = CXML_TAG_EMPTY;
        }
        *g = 0;
        kind = found;
        return g + 1;
    }

    // Cuts the name off a tag's text; `attrib` gets what follows the white
    // space after it. Returns the name's end.
    T* Tag_FindNameAttrib(T* p, T*& attrib) noexcept {
        T* q = nameEnd(p);
        if (*q != 0 && !isSpace(*q)) return SetErrorPosition(q, ParseError::IllegalCharacter);
        if (*q == 0) {
            attrib = q;
            return q;
        }
        attrib = SkipWhitespace(q);
        *q = 0;
        return q;
    }

    // Reads the attributes at `q` into the gathered list; the node takes
    // them when the tag ends. A block that finds no memory then reports the
    // first attribute, where adding one by one would first have needed one.
    bool Tag_GetAttributes(T* q, CXMLObject& node) {
        m_gatheringFor = node.m_pO;
        T* firstNameEnd = nullptr;
        bool read = gatherAttributes(q, firstNameEnd);
        if (read && !node.adoptAttributes(m_attributes.data(), m_attributes.size()))
            read = fail(firstNameEnd, ParseError::BadAttribute);
        if (read)
            m_attributes.forgetFrom(0);
        else
            m_attributes.dropFrom(0);
        m_gatheringFor = nullptr;
        return read;
    }

    // Decodes data or an attribute value in place up to `term`; returns the
    // position of `term` in the raw text.
    T* Data_FindAndFormat(T* p, T term) noexcept {
        m_zeroDecoded = false;
        // Most values and many texts hold nothing to rewrite: no reference,
        // no markup, and white space only as lone spaces between other units.
        // The rest is rewritten from the first unit that needs it.
        const unsigned termUnit = Traits::Index(term);
        T* r = Scan::FindPlainEnd(p, termUnit);
        while (*r == T(' ') && r > p && !parser::scan::EndsPlain(r + 1, termUnit))
            r = Scan::FindPlainEnd(r + 2, termUnit);
        // A "<" that may open a CDATA section goes the long way too.
        if (*r != term || (term == T('<') && r[1] == T('!'))) return formatFrom(r, term);
        m_formattedEnd = r;  // left uncut
        return r;
    }

    // The rewriting half, out of line so that a plain value's scan needs no
    // stack frame of this size.
    __attribute__((noinline)) T* formatFrom(T* r, T term) noexcept {
        T* w = r;
        T* e = r;  // after the last unit that counts: trailing white space is dropped
        for (;;) {
            if (!isDataStop(*r, term)) {
                r = copyPlainRun(r, w, term);
                e = w;
            }
            const T u = *r;
            if (u == 0) {
                // A value of a tag read in one pass that runs to the end
                // leaves its quote open, which the tag's close reports.
                if (!m_tag.open) return SetErrorPosition(r, ParseError::BadDataTerminator);
                settleTagClose(r, term);
                return nullptr;
            }
            if (u == T('&')) {
                r = decodeReference(r, w, term);
                if (!r) return nullptr;
                e = w;
            } else if (u == T('<') && startsWith(r, "<![CDATA[")) {
                if (m_tag.open && !settleTagClose(r, term)) return nullptr;
                SetErrorPosition(r, ParseError::OpenCDataSection);
                T* s = r + 9;
                for (;;) {
                    T* bracket = Scan::FindAnyOf(s, T(']'), T(0));
                    const auto count = static_cast<std::size_t>(bracket - s);
                    parser::scan::MoveUnits(w, s, count);
                    w += count;
                    if (*bracket == 0) return nullptr;
                    s = bracket;
                    if (s[1] == T(']') && s[2] == T('>')) break;
                    *w++ = *s++;
                }
                e = w;
                r = s + 3;
            } else if (u == term) {
                m_formattedEnd = e;  // left uncut, as a plain run is
                return r;
            } else if (!isSpace(u)) {
                *w++ = u;
                e = w;
                ++r;
            } else {
                if (w[-1] != T(' ')) *w++ = T(' ');
                r = SkipWhitespace(r + 1);  // the rest of the run sees the space just written
            }
        }
    }

    // The value of the digits of a character reference after its "&#" at
    // `digits` ("x" first for hexadecimal ones), kept to 16 bits as they
    // come; returns the unit after the last digit.
    static T* readCharReference(T* digits, unsigned short& value) noexcept {
        value = 0;
        if (*digits == T('x')) {
            for (int d; (d = hexValue(*++digits)) >= 0;)
                value = static_cast<unsigned short>(value * 16 + d);
        } else {
            for (; *digits >= T('0') && *digits <= T('9'); ++digits)
                value = static_cast<unsigned short>(value * 10 + (*digits - T('0')));
        }
        return digits;
    }

    void putDecoded(T*& w, unsigned short value) noexcept {
        m_zeroDecoded |= value == 0;
        Traits::PutChar(w, value);
    }

    // Parses the block at `p` (an element with all its content, a data run, a
    // comment, a processing instruction or a declaration) into `parent`.
    // Nesting is kept on an explicit stack, so depth costs heap, not stack.
    T* ProcessBlock(T* p, CXMLObject& parent) {
        OpenElements open(m_topNodes);
        T* c = p;
        for (;;) {
            unsigned int kind;
            bool opened = false;
            T* next = reinterpret_cast<std::uintptr_t>(c) >= m_meetAt && !open.empty()
                          ? takeLevel(c, open)
                          : nullptr;
            if (!next) {
                // A start tag is the most common block and needs no classifying.
                T* g = c;
                kind = CXML_TAG_START;
                if (c[0] != T('<') || !(classOf(c[1]) & parser::kNameStart))
                    g = Tag_FindEnd(c, kind);
                if (!g) return nullptr;
                next = kind == CXML_TAG_START ? elementTag(c, open, parent, opened)
                                              : leafBlock(c, kind, g, open, parent);
                if (!next) return nullptr;
            }
            if (!opened) {
                if (open.empty()) return next;
                next = SkipWhitespace(next);
                if (*next == 0) return nullptr;
            }
            while (next[0] == T('<') && next[1] == T('/')) {
                T* g2 = endTagOf(next, open.top().name);
                if (!g2) {
                    g2 = Tag_FindEnd(next, kind);
                    if (kind != CXML_TAG_END)
                        return SetErrorPosition(next, ParseError::NestingError);
                    if (!equals(next + 2, open.top().name))
                        return SetErrorPosition(next, ParseError::BadTerminationTag);
                }
                if (!open.closeTop(parent)) return SetErrorPosition(next, ParseError::MixedContent);
                if (open.empty()) return g2;
                next = SkipWhitespace(g2);
                if (*next == 0) return nullptr;
            }
            c = next;
        }
    }

    // New texts go to the pool shard by shard, in batches (or text by text
    // without the memory for a batch). Not while the allocation-failure seam
    // is armed: its failures must fall in the order of a lone parse.
    void GroupTexts() noexcept {
        if (!AllocationFailureArmed()) m_waiting.GroupByShard();
    }

    // The parsing thread's side of a second half (parser/second_half.h).
    void ExpectSecondHalf(parser::SecondHalf<T>& half) noexcept {
        m_half = &half;
        if (T* begin = half.Begin()) m_meetAt = reinterpret_cast<std::uintptr_t>(begin);
    }

    // The second thread's side: reads levels from `p` in its copy of the text.
    static void ReadLevels(T* p, parser::SecondHalfRead<T>& read,
                           const std::atomic<bool>& stop) noexcept {
        CXMLDoc record;  // holds the error record only
        BlockParser parser(record);
        parser.m_topNodes = &read.nodes;  // in order, for the parsing thread
        parser.GroupTexts();
        CXMLObject none;  // no data is read at the top: it takes none
        for (;;) {
            p = parser.SkipWhitespace(p);
            void* const before = record.m_pErrorPos;
            const std::uint32_t beforeCode = record.m_uErrorCode;
            T* const start = p;
            const std::size_t first = read.nodes.size();
            // Whole blocks that need nothing around them: elements, comments,
            // declarations and processing instructions.
            while (p[0] == T('<') && p[1] != T('/') && !startsWith(p, "<![CDATA[")) {
                if (stop.load(std::memory_order_relaxed)) return;
                p = parser.ProcessBlock(p, none);
                if (!p) return;
                p = parser.SkipWhitespace(p);
            }
            if (p[0] != T('<') || p[1] != T('/') || !parser.FlushWaiting()) return;
            const bool recorded = record.m_pErrorPos != before || record.m_uErrorCode != beforeCode;
            if (!read.levels.add(start, p, first, read.nodes.size() - first,
                                 recorded ? static_cast<T*>(record.m_pErrorPos) : nullptr,
                                 record.m_uErrorCode))
                return;
            unsigned int kind;
            p = parser.Tag_FindEnd(p, kind);
            if (!p || kind != CXML_TAG_END) return;
        }
    }

  private:
    using Traits = parser::UnitTraits<T>;

    struct OpenElement {
        CXMLObject node;
        const T* name;
        std::size_t firstChild;  // where its children start on the gathered stack
        bool tookLevel = false;  // some of them the second thread built
    };

    // Elements whose end tag is still to come, and the children they have
    // gathered so far, on the heap so that depth costs no call stack. An
    // element gets its child block when its end tag closes it, at the
    // capacity adding the children one by one would have reached. A push
    // that finds no memory fails.
    class OpenElements {
      public:
        bool push(CXMLObject& node, const T* name) noexcept {
            return m_items.add(std::move(node), name, m_children.size());
        }
        bool empty() const noexcept { return m_items.size() == 0; }
        OpenElement& top() noexcept { return m_items.back(); }
        // `top`: where the top-level nodes go instead of their parent.
        explicit OpenElements(parser::RawItems<CXMLObject, 256>* top) noexcept : m_top(top) {}
        // A finished node with no open element around it, for `parent`.
        bool addTop(CXMLObject& parent, CXMLObject& node) noexcept {
            return m_top ? m_top->add(std::move(node)) : bool(parent.Add(node));
        }
        // A finished child of the top element, taken over from `node`.
        bool addChild(CXMLObject& node) noexcept { return m_children.add(std::move(node)); }
        // The `n` children at `nodes` taken over, or none when memory runs out.
        bool addChildren(CXMLObject* nodes, std::size_t n) noexcept {
            if (!m_children.reserve(n)) return false;
            for (std::size_t i = 0; i < n; ++i) m_children.add(std::move(nodes[i]));
            return true;
        }
        // Gives the top element its children and hands it to its parent: the
        // next open element, or `root` when it is the last. False, with
        // everything still owned here, when memory runs out.
        bool closeTop(CXMLObject& root) noexcept {
            OpenElement& last = top();
            const std::size_t first = last.firstChild;
            if (!last.node.adoptChildren(m_children.data() + first, m_children.size() - first))
                return false;
            m_children.forgetFrom(first);  // adopted as they lay, without touching their counts
            if (last.tookLevel) xmlobj::NoteBuiltInHalves(last.node);
            const bool handed = m_items.size() > 1 ? addChild(last.node) : addTop(root, last.node);
            if (!handed) return false;
            m_items.dropFrom(m_items.size() - 1);
            return true;
        }

      private:
        parser::RawItems<OpenElement, 64> m_items;
        parser::RawItems<CXMLObject, 256> m_children;
        parser::RawItems<CXMLObject, 256>* m_top;
    };

    static std::uint8_t classOf(T u) noexcept { return parser::ClassOf(Traits::Widen(u)); }
    static bool isSpace(T u) noexcept { return classOf(u) & parser::kSpace; }

    using Scan = parser::scan::Finders;

    // What ends a plain run of data: the terminator, references, "<", the
    // value's closing unit and white space.
    static bool isDataStop(T u, T term) noexcept {
        return u == 0 || u == T('&') || u == T('<') || u == term || isSpace(u);
    }
    // Copies the run of units at `r` (no stop) that stand as they are down
    // to `w`, where references and collapsed white space left room; returns
    // the run's end and moves `w` past the copy. Lone white space between
    // two such units needs no collapsing, so it does not end the run: it is
    // written as a space.
    static T* copyPlainRun(T* r, T*& w, T term) noexcept {
        const unsigned termUnit = Traits::Index(term);
        const std::ptrdiff_t gap = r - w;
        const bool lagging = gap * sizeof(T) >= parser::scan::kCopyGapBytes;
        // The unit at `s` is the first one or a control: either stands as it is.
        T* s = r;
        do {
            if (lagging) s[-gap] = *s;
            ++s;
            s = Scan::CopyDataRun(s, lagging ? s - gap : s, termUnit);
        } while (!isDataStop(*s, term));
        if (gap && !lagging) parser::scan::MoveUnits(w, r, static_cast<std::size_t>(s - r));
        w = s - gap;
        return s;
    }
    // The first unit at or after `q` that is no name character.
    static T* nameEnd(T* q) noexcept {
        // Most names end within a few units, where a table look-up each
        // costs less than a finder's step.
        for (int i = 0; i < 8; ++i, ++q)
            if (!(classOf(*q) & parser::kNameChar)) return q;
        for (;; ++q) {
            q = Scan::FindNameCandidate(q);
            if (!(classOf(*q) & parser::kNameChar)) return q;
        }
    }

    static int hexValue(T u) noexcept {
        if (u >= T('0') && u <= T('9')) return u - T('0');
        if (u >= T('a') && u <= T('f')) return u - T('a') + 10;
        if (u >= T('A') && u <= T('F')) return u - T('A') + 10;
        return -1;
    }

    // `lit` is ASCII, so it compares the same against every width; a
    // terminator in `p` ends the comparison.
    static bool startsWith(const T* p, const char* lit) noexcept {
        return afterLiteral(p, lit) != nullptr;
    }
    // After `lit` when `p` starts with it, else null.
    template <class U>
    static U* afterLiteral(U* p, const char* lit) noexcept {
        for (; *lit; ++p, ++lit)
            if (*p != T(*lit)) return nullptr;
        return p;
    }
    static bool isLiteral(const T* p, const char* lit) noexcept {
        while (*lit && *p == T(*lit)) ++p, ++lit;
        return *lit == 0 && *p == 0;
    }
    // The cut text `a` against the open element's name `b`.
    static bool equals(const T* a, const T* b) noexcept {
        while (*a && !endsOpenName(*b) && *a == *b) ++a, ++b;
        return *a == 0 && endsOpenName(*b);
    }

    // After the end tag at `p` when it is exactly "</" `name` ">"; else
    // null. Nothing is written: the next finder reads this block.
    static T* endTagOf(T* p, const T* name) noexcept {
        T* q = p + 2;
        while (!endsOpenName(*name) && *q == *name) ++q, ++name;
        if (!endsOpenName(*name) || *q != T('>')) return nullptr;
        return q + 1;
    }
    // An open element's name in the text is left uncut: it ends at the
    // tag's ">" or at the white space before its attributes (or at a cut
    // when the tag was read the long way).
    static bool endsOpenName(T u) noexcept {
        const unsigned unit = Traits::Index(u);  // no unit up to a space is a name's
        return unit <= ' ' || unit == '>';
    }

    bool fail(T* p, ParseError code) noexcept {
        SetErrorPosition(p, code);
        return false;
    }

    // The comment closes at the first "-->" that begins after "<!--".
    T* findCommentEnd(T* p, unsigned int& kind) noexcept {
        SetErrorPosition(p + 1, ParseError::OpenComment);
        if (p[4] == 0) return nullptr;
        T* r = p + 5;  // the second dash of a candidate "-->"
        for (;; ++r) {
            r = Scan::FindAnyOf(r, T('-'), T(0));
            if (*r == 0) return nullptr;
            if (r[-1] == T('-') && r[1] == T('>')) break;
        }
        r[-1] = 0;
        kind = CXML_TAG_COMMENT;
        return r + 2;
    }

    // The ">" that closes a tag whose text goes on at `s`, skipping quoted
    // text and, in declarations, bracketed text; `quote`, when not 0, is the
    // quote that `s` lies within.
    T* findTagClose(T* s, bool declaration, T quote = T(0)) noexcept {
        T* u = s;
        if (quote) {
            u = Scan::FindAnyOf(u, quote, T(0));
            if (*u == 0) return nullptr;
            ++u;
        }
        for (;; ++u) {
            u = Scan::FindAnyOf(u, T(0), T('"'), T('\''), T('['), T('>'));
            const T c = *u;
            if (c == T('>')) return u;
            if (c == 0) return nullptr;
            if (c == T('"') || c == T('\'')) {
                SetErrorPosition(u, ParseError::OpenString);
                u = Scan::FindAnyOf(u + 1, c, T(0));
                if (*u == 0) return nullptr;
            } else if (c == T('[') && declaration) {
                SetErrorPosition(u, ParseError::OpenEnclosure);
                for (unsigned depth = 1; depth;) {
                    u = Scan::FindAnyOf(u + 1, T(0), T('['), T(']'));
                    const T b = *u;
                    if (b == 0) return nullptr;
                    if (b == T('['))
                        ++depth;
                    else if (b == T(']'))
                        --depth;
                }
            }
        }
    }

    // Decodes the reference at `r` (an "&") to `w`; returns the unit after its
    // ";". Past the well-formed ones, a character reference with other units
    // before its ";" still gives its digits' value, and any other is refused.
    // In a tag read in one pass, a reference whose ";" is not in its value
    // (closed by `term`) first settles the tag's close.
    T* decodeReference(T* r, T*& w, T term) noexcept {
        if (T* after = decodeWellFormed(r, w)) return after;
        T* c = m_tag.open ? Scan::FindAnyOf(r + 1, T(';'), T(0), term)
                          : Scan::FindAnyOf(r + 1, T(';'), T(0));
        if (m_tag.open && *c != T(';')) {
            if (!settleTagClose(c, term)) return nullptr;
            c = Scan::FindAnyOf(c, T(';'), T(0));
        }
        if (*c == 0) return SetErrorPosition(r, ParseError::BadEscape);
        if (r[1] == T('#')) {
            unsigned short value;
            readCharReference(r + 2, value);
            putDecoded(w, value);
            return c + 1;
        }
        // No entity but the five, each of which decodeWellFormed took.
        if (m_tag.open && !settleTagClose(c + 1, term)) return nullptr;
        return SetErrorPosition(r, ParseError::ExternalReplacement);
    }

    struct Entity {
        const char* name;
        char text;
    };
    static constexpr Entity kEntities[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};

    // The references that most texts hold, decoded without first searching
    // for the ";": a character reference of digits alone, or one of the five
    // entities, each with its ";" right after. Null, nothing written, for
    // anything else.
    T* decodeWellFormed(T* r, T*& w) noexcept {
        if (r[1] == T('#')) {
            unsigned short value;
            T* const q = readCharReference(r + 2, value);
            if (*q != T(';')) return nullptr;
            putDecoded(w, value);
            return q + 1;
        }
        for (const Entity& entity : kEntities) {
            T* const semicolon = afterLiteral(r + 1, entity.name);
            if (semicolon && *semicolon == T(';')) {
                *w++ = T(entity.text);
                return semicolon + 1;
            }
        }
        return nullptr;
    }

    // An "xml" declaration's text must begin version=, one unit, then "1.0".
    static bool isVersion10(const T* attrib) noexcept {
        return startsWith(attrib, "version=") && attrib[8] != 0 && startsWith(attrib + 9, "1.0");
    }

    // Start or empty-element tag at `c`: an empty element goes to the top open
    // element or else to `parent`, and parsing goes on after it; any other
    // is `opened`, and parsing goes on at its first content.
    T* elementTag(T* c, OpenElements& open, CXMLObject& parent, bool& opened) {
        CXMLObject node;
        T* g = readStartTag(c, node);
        if (!g) return nullptr;
        opened = !m_tag.empty;
        if (!opened) {
            const bool added = open.empty() ? open.addTop(parent, node) : open.addChild(node);
            return added ? g + 1 : SetErrorPosition(c, ParseError::MixedContent);
        }
        T* content = SkipWhitespace(g + 1);
        if (*content == 0) return SetErrorPosition(g + 1, ParseError::EndOfFile);
        SetErrorPosition(c, ParseError::NestingError);
        if (!open.push(node, c + 1)) return SetErrorPosition(c, ParseError::MixedContent);
        return content;
    }

    // Names `node` after the tag at `c` and reads its attributes; returns the
    // tag's closing ">".
    T* readStartTag(T* c, CXMLObject& node) {
        T* const text = c + 1;
        T* const end = nameEnd(text);
        // Most tags are a name alone: their close is where the name ends,
        // so none of the one-pass read's keeping is needed.
        const bool emptyTag = end[0] == T('/') && end[1] == T('>');
        if (end[0] == T('>') || emptyTag) {
            // Left uncut: the name's length is known, and the element's end
            // tag is matched up to the ">".
            m_tag.empty = emptyTag;
            m_tag.close = end + emptyTag;
            if (!nameNode(text, end, node)) return SetErrorPosition(c, ParseError::MixedContent);
            return m_tag.close;
        }
        m_tag = OpenTag{
            true, false, c, nullptr, nullptr, nullptr, m_doc.m_pErrorPos, m_doc.m_uErrorCode};
        T* attrib = end;
        if (isSpace(*end)) attrib = SkipWhitespace(end);
        m_tag.resume = attrib;
        bool read;
        if (attrib == end && !reachedTagClose(end)) {
            read = fail(end, ParseError::IllegalCharacter);
        } else if (!nameNode(text, end, node)) {
            read = fail(c, ParseError::MixedContent);
        } else {
            read = reachedTagClose(attrib) || Tag_GetAttributes(attrib, node);
        }
        if (!read) {
            if (m_tag.open) settleTagClose(m_tag.resume, T(0));  // a tag left open reports that
            return nullptr;
        }
        m_tag.open = false;  // its close is left uncut, as above
        return m_tag.close;
    }

    // Names the fresh `node` after the units from `text` to `end`; false
    // when memory ran out.
    bool nameNode(const T* text, const T* end, CXMLObject& node) {
        CPPoolString name = pool(text, static_cast<std::size_t>(end - text));
        return !name.isnull() && node.nameEmpty(std::move(name));
    }

    // Ends the tag's text at its close, and an empty tag's at its "/".
    void cutAtClose() noexcept {
        if (m_tag.empty) m_tag.close[-1] = 0;
        *m_tag.close = 0;
    }

    // In a tag read in one pass, ">" or "/>" at `q` closes it and is kept as
    // its close; once the close is settled, the zero written there does.
    bool reachedTagClose(T* q) noexcept {
        if (!m_tag.open) return *q == 0;
        if (*q == T('>')) {
            m_tag.close = q;
            return true;
        }
        if (*q == T('/') && q[1] == T('>')) {
            m_tag.close = q + 1;
            m_tag.empty = true;
            return true;
        }
        return false;
    }

    // Ends the one-pass read of a tag where something unusual was met at
    // `from` (within a value closed by `quote`, or outside values when
    // `quote` is 0): the close is found as a scan of the whole tag before
    // reading it would have found it, and the text is cut there, so the rest
    // of the tag reads as it would have. A tag that does not close fails with
    // that scan's record, and nothing read in it is pooled or reported; else
    // the record standing now stays.
    bool settleTagClose(T* from, T quote) noexcept {
        m_tag.open = false;
        void* const standing = m_doc.m_pErrorPos;
        const std::uint32_t code = m_doc.m_uErrorCode;
        if (m_tag.lastQuote) {
            SetErrorPosition(m_tag.lastQuote, ParseError::OpenString);
        } else {
            m_doc.m_pErrorPos = m_tag.startPos;
            m_doc.m_uErrorCode = m_tag.startCode;
        }
        T* g = findTagClose(from, false, quote);
        if (!g) {
            auto inTag = [this](const Waiter& w) { return w.position > m_tag.start; };
            m_waiting.ForgetLast(inTag);
            if (m_failure.body && inTag(m_failure)) m_failure = Waiter{};
            return false;
        }
        m_doc.m_pErrorPos = standing;
        m_doc.m_uErrorCode = code;
        m_tag.close = g;
        m_tag.empty = g[-1] == T('/');
        cutAtClose();
        return true;
    }

    // Where the second half's level that begins at `c` ends, its nodes
    // taken as children of the top open element; null when no level begins
    // at `c` or its nodes find no room, and `c` is read here instead.
    T* takeLevel(T* c, OpenElements& open) noexcept {
        Level* level = m_half->LevelAt(c);
        T* const after = m_half->NextStart();
        m_meetAt = after ? reinterpret_cast<std::uintptr_t>(after) : kNever;
        if (!level) return nullptr;
        if (!open.addChildren(m_half->Nodes(*level), level->count)) return nullptr;
        open.top().tookLevel = true;
        parser::CountSecondHalfLevel();
        if (level->recordPos) {
            m_doc.m_pErrorPos = m_half->mapped(level->recordPos);
            m_doc.m_uErrorCode = level->recordCode;
        }
        return m_half->mapped(level->end);
    }

    // Every block that opens no element, into the top open element or else
    // into `parent`; returns the position after it.
    T* leafBlock(T* c, unsigned int kind, T* g, OpenElements& open, CXMLObject& parent) {
        CXMLObject& into = open.empty() ? parent : open.top().node;
        switch (kind) {
            case CXML_TAG_COMMENT:
            case CXML_TAG_DECLARATION:
                return g;
            case CXML_TAG_PROCESS: {
                T* target = c + 2;
                T* attrib = target;
                Tag_FindNameAttrib(target, attrib);  // a bad target is just skipped
                if (isLiteral(target, "xml") && !isVersion10(attrib))
                    return SetErrorPosition(target, ParseError::VersionNot10);
                return g;
            }
            case CXML_TAG_EMPTY:
                // An end tag or declaration closed by "/>": no name starts
                // there, and "</>" is an element without one, which no node takes.
                if (c[1] == 0) return SetErrorPosition(c, ParseError::MixedContent);
                return SetErrorPosition(c + 1, ParseError::IllegalCharacter);
            case CXML_TAG_DATA:
            case CXML_TAG_CDATA: {
                T* t = Data_FindAndFormat(c, T('<'));
                if (!t) return nullptr;
                const bool refused =
                    (kind == CXML_TAG_DATA || formattedLength(c) != 0) && !addData(into, c);
                if (refused) return SetErrorPosition(c, ParseError::MixedContent);
                return t;
            }
            default:  // an end tag, or nothing, where a block is expected
                return nullptr;
        }
    }

    bool gatherAttributes(T* q, T*& firstNameEnd) {
        for (;;) {
            m_tag.resume = q;
            if (!(classOf(*q) & parser::kNameStart)) return fail(q, ParseError::IllegalCharacter);
            T* name = q;
            q = nameEnd(q + 1);
            if (*q != T('=') && !isSpace(*q)) return fail(q, ParseError::IllegalCharacter);
            T* nameEnd = q;
            if (!firstNameEnd) firstNameEnd = nameEnd;
            SetErrorPosition(nameEnd, ParseError::BadAttribute);
            T* v = SkipWhitespace(q);
            if (*v != T('=')) return false;
            v = SkipWhitespace(v + 1);
            if (*v != T('"') && *v != T('\'')) return false;
            m_tag.lastQuote = v;
            T* close = Data_FindAndFormat(v + 1, *v);
            if (!close) return false;
            m_tag.resume = close + 1;
            if (!addAttribute(name, nameEnd, v + 1)) return false;
            q = SkipWhitespace(close + 1);
            if (reachedTagClose(q)) return true;
        }
    }

    bool addAttribute(T* name, T* nameEnd, T* value) {
        CPPoolString pooledName = pool(name, static_cast<std::size_t>(nameEnd - name));
        if (pooledName.isnull()) return false;
        const std::size_t count = formattedLength(value);
        CPPoolString pooledValue;
        const bool waits = !takeNow(value, count, pooledValue);
        if (!waits && pooledValue.isnull()) return false;
        using Names = parser::AttributeNameSet;
        const auto have = static_cast<unsigned int>(m_attributes.size());
        if (have < Names::kFirstIndexed) {
            if (!pooledName) return false;
            for (unsigned int i = 0; i < have; ++i)
                if (CXMLObject::nameOf(m_attributes[i]) == pooledName) return false;
        } else {
            if (have == Names::kFirstIndexed) {
                m_attributeNames.clear();
                for (unsigned int i = 0; i < have; ++i)
                    if (m_attributeNames.add(CXMLObject::nameOf(m_attributes[i])) !=
                        Names::Added::New)
                        return false;
            }
            if (m_attributeNames.add(pooledName) != Names::Added::New) return false;
        }
        // A waiting value is the empty string until its batch goes in; a
        // failure then reports the record standing now.
        if (!m_attributes.add(std::move(pooledName), std::move(pooledValue))) return false;
        return !waits || wait(value, count,
                              Waiter{m_gatheringFor, have, static_cast<T*>(m_doc.m_pErrorPos),
                                     static_cast<ParseError>(m_doc.m_uErrorCode)});
    }

    // Empty data is refused, like a second run.
    bool addData(CXMLObject& node, T* text) {
        const std::size_t count = formattedLength(text);
        if (count == 0) return false;
        CPPoolString data;
        if (takeNow(text, count, data)) return !data.isnull() && node.takeData(std::move(data));
        // The node takes its type now, as it would with the text.
        if (node.m_pO->m_uType > CXML_TYPE_ELEMENT) return false;  // one data text per node
        if (!wait(text, count, Waiter{node.m_pO, Waiter::kData, text, ParseError::MixedContent}))
            return false;
        node.afterDataAdded();
        return true;
    }

  public:
    // Pools the texts still waiting and puts them in their places. On a
    // failure the first text that found no memory is reported, as it lies
    // before anything the parse has found since.
    bool FlushWaiting() noexcept {
        return flushWaiting([this](const Waiter& w, CPPoolString text) {
            if (w.attribute == Waiter::kData) {
                w.body->m_Data = std::move(text);
                return;
            }
            unsigned int count;
            CXMLAttribute* list =
                w.body == m_gatheringFor ? m_attributes.data() : w.body->m_Attribs.GetArray(count);
            CXMLObject::placeValue(list[w.attribute], std::move(text));
        });
    }
    // After a failed parse, whose nodes may be gone: whether a waiting text
    // found no memory first, which is then reported instead.
    void ReportWaiting() noexcept {
        flushWaiting([](const Waiter&, CPPoolString) {});
    }

  private:
    template <class Give>
    bool flushWaiting(Give give) noexcept {
        if (!m_failure.body) {
            const Waiter* failed = m_waiting.Flush(m_pieces, give);
            if (!failed) return true;
            m_failure = *failed;
        }
        SetErrorPosition(m_failure.position, m_failure.code);
        return false;
    }

    // Where a waiting text goes, and the record its failure reports.
    struct Waiter {
        static constexpr unsigned int kData = ~0u;  // the node's data, not an attribute's value
        CXMLObjectBody* body;
        unsigned int attribute;
        T* position;
        ParseError code;
    };

    // The string of a piece whose pooling need not wait: empty, long or
    // cached (null when memory ran out). False for a short piece the cache
    // lacks, which waits in the batch instead.
    bool takeNow(const T* text, std::size_t count, CPPoolString& out) {
        if (count == 0 || count > Batch::kLongest) {
            out = pool(text, count);
            return true;
        }
        return m_pieces.TakeKept(text, count, out);
    }
    // Queues a piece takeNow refused; false when narrow text does not
    // convert or a full batch found no memory.
    bool wait(const T* text, std::size_t count, const Waiter& waiter) {
        if (m_waiting.Full()) {
            if (!FlushWaiting()) return false;
            // A parse that began alone groups from when another one starts
            // beside it, or a release of a large tree does.
            if (module::SecondThread::Crowded()) GroupTexts();
        }
        return m_waiting.Add(text, count, waiter);
    }

    __attribute__((always_inline)) CPPoolString pool(const T* text, std::size_t count) {
        return m_pieces.Take(text, count);
    }
    // The length of the piece at `text` that Data_FindAndFormat has just
    // formatted. A decoded "&#0;" ends it early: then it is measured to that
    // zero, which lies before the piece's end.
    std::size_t formattedLength(T* text) const noexcept {
        const T* end = m_zeroDecoded ? Scan::FindAnyOf(text, T(0)) : m_formattedEnd;
        return static_cast<std::size_t>(end - text);
    }

    using Batch = parser::TextBatch<T, Waiter>;
    using Level = parser::SecondHalfLevel<T>;

    CXMLDoc& m_doc;
    parser::PieceCache<T> m_pieces;
    Batch m_waiting;
    Waiter m_failure{};  // the first text that could not be pooled, once one could not
    parser::RawItems<CXMLAttribute, 32> m_attributes;  // of the tag being read
    CXMLObjectBody* m_gatheringFor = nullptr;          // the node whose tag m_attributes holds
    parser::AttributeNameSet m_attributeNames;
    // The start tag being read. It is read in one pass that finds its close
    // on the way (`open`) until something unusual settles the close first.
    struct OpenTag {
        bool open;
        bool empty;      // closed by "/>"
        T* start;        // its "<"
        T* close;        // its ">", once found
        T* resume;       // outside values; from here on the text is still unwritten
        T* lastQuote;    // the opening quote of the last value read
        void* startPos;  // the error record standing when the tag began
        std::uint32_t startCode;
    };
    OpenTag m_tag{};
    // The second half, if one runs, and the next place where one of its
    // levels may begin.
    static constexpr std::uintptr_t kNever = ~std::uintptr_t{0};
    parser::SecondHalf<T>* m_half = nullptr;
    parser::RawItems<CXMLObject, 256>* m_topNodes = nullptr;  // the second thread's
    std::uintptr_t m_meetAt = kNever;
    T* m_formattedEnd = nullptr;  // of the piece formatted last
    bool m_zeroDecoded = false;   // whether that piece holds a decoded zero
};

}  // namespace tqcore
