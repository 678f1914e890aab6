// The serialiser: writes a node tree through a sink's text primitives, with
// an explicit stack so that no tree is too deep for it.
#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "tqcore/diag.h"
#include "tqcore/wtext.h"
#include "tqplatform/system.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlout.h"
#include "xmlobj/out_chars.h"
#include "xmlobj/reports.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {

namespace {

constexpr const char* kWriteoutSignature =
    "bool tqcore::CXMLObject::_writeout(tqcore::CXMLOut&) const";

// The escape set of attribute values and each member's entity. TAB, LF and
// CR are not members: they are written as they are.
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

bool NeedsEntity(unsigned short c) {
    return outchars::Classify(c) == outchars::kMarkup;
}

// How far ahead among siblings bodies and names are fetched (measured on
// the corpus: nearer leaves the walk waiting for memory).
constexpr unsigned int kBodyAhead = 8;
constexpr unsigned int kNameAhead = 4;

// Characters gathered before they go to the sink.
constexpr std::size_t kStageChars = 4096;

// Finds "]]>" in [p, end); `end` when there is none.
const unsigned short* FindCDATAEnd(const unsigned short* p, const unsigned short* end) {
    for (; end - p >= 3; ++p)
        if (p[0] == ']' && p[1] == ']' && p[2] == '>') return p;
    return end;
}

// An element being written and its children; the open elements, outermost
// first, are a heap stack, so that depth costs no call stack.
struct OpenElement {
    const CXMLObject* node;
    const CXMLObject* children;
    unsigned int count;
    unsigned int next;
};

OpenElement Opened(const CXMLObject& node) noexcept {
    OpenElement frame{&node, nullptr, 0, 0};
    frame.children = node.GetElements(frame.count);
    return frame;
}

}  // namespace

// Type 3 (data and children): the children are not listed for it, so it is
// written as a data node. Its start tag is closed once, its data follows and
// its end tag ends the line; it reads back as a data node with that text.
//
// Small pieces are gathered into whole lines (or, on an unformatted sink,
// into blocks) before they go to the sink: a sink call per tag, name and
// value would cost more than the text itself. A line is handed over before
// its line end, while the level is still the one it started at.
bool CXMLObject::_writeout(CXMLOut& out) const {
    unsigned short stage[kStageChars];
    std::size_t staged = 0;
    const bool lineByLine = out.m_fFormat;
    auto flush = [&] {
        out.WriteTo(stage, stage + staged);
        staged = 0;
    };
    auto piece = [&](const unsigned short* from, const unsigned short* to) {
        const auto n = static_cast<std::size_t>(to - from);
        if (n > kStageChars - staged) {
            flush();
            if (n > kStageChars) {
                out.WriteTo(from, to);
                return;
            }
        }
        std::copy(from, to, stage + staged);
        staged += n;
    };
    auto lineEnd = [&] {
        if (lineByLine) flush();
        return out.eol();
    };
    auto literal = [&piece](const auto& text) {
        piece(W(text), W(text) + (sizeof(text) / sizeof(text[0]) - 1));
    };
    auto pooled = [&piece](const CPPoolString& s) {
        const unsigned short* p = s;
        piece(p, p + s.len());
    };
    auto escaped = [&](const CPPoolString& value) {
        const unsigned short* p = value;
        if (!p) return;
        const unsigned short* run = p;
        const unsigned short* end = p + value.len();
        for (; p != end; ++p) {
            if (!NeedsEntity(*p)) continue;
            piece(run, p);
            const Entity entity = EntityFor(*p);
            piece(W(entity.text), W(entity.text) + entity.chars);
            run = p + 1;
        }
        piece(run, end);
    };
    auto endTag = [&](const CPPoolString& name) {
        literal(u"</");
        pooled(name);
        literal(u">");
        return lineEnd();
    };
    auto data = [&](const CXMLObject& node, const CPPoolString& text) {
        if (!node.CDATARequired(text)) {
            pooled(text);
            return true;
        }
        if (!lineEnd()) return false;
        out.Indent();
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
        out.Unindent();
        return true;
    };

    // Bodies and their names lie apart in memory: while one sibling is
    // written, the bodies a few ahead are fetched, and the names of those
    // whose bodies should have arrived by now.
    auto prefetchAhead = [](const CXMLObject* siblings, unsigned int left) {
        if (left > kBodyAhead) __builtin_prefetch(siblings[kBodyAhead].m_pO);
        if (left > kNameAhead && siblings[kNameAhead].m_pO)
            __builtin_prefetch(
                static_cast<const unsigned short*>(siblings[kNameAhead].m_pO->m_Name));
    };

    enum class Entered { Failed, Done, Children };
    // Writes what precedes a node's children, or the whole node when it has none.
    auto enter = [&](const CXMLObject& node) {
        const CXMLObjectBody* body = node.m_pO;
        if (!body) {
            reports::Assumption("m_pO", __LINE__, kWriteoutSignature);
            return Entered::Failed;
        }
        const CPPoolString& name = body->m_Name;
        if (!name) return Entered::Failed;
        if (static_cast<const unsigned short*>(name)[0] == '<') return Entered::Children;
        literal(u"<");
        pooled(name);
        unsigned int count = 0;
        const CXMLAttribute* attribs =
            body->m_Attribs.HasBlock() ? body->m_Attribs.GetArray(count) : nullptr;
        for (unsigned int i = 0; i < count; ++i) {
            literal(u" ");
            pooled(attribs[i].m_Name);
            literal(u"=\"");
            escaped(attribs[i].m_Value);
            literal(u"\"");
        }
        switch (body->m_uType) {
            case CXML_TYPE_ELEMENT:
                literal(u">");
                if (!lineEnd()) return Entered::Failed;
                out.Indent();
                return Entered::Children;
            case CXML_TYPE_DATA:
            case CXML_TYPE_PROCESS:
                literal(u">");
                if (!data(node, body->m_Data) || !endTag(name)) return Entered::Failed;
                return Entered::Done;
            default:
                literal(u"/>");
                return lineEnd() ? Entered::Done : Entered::Failed;
        }
    };
    // Writes what follows a node's children.
    auto leave = [&](const CXMLObject& node) {
        const CPPoolString& name = node.m_pO->m_Name;
        if (static_cast<const unsigned short*>(name)[0] == '<') return true;
        out.Unindent();
        return endTag(name);
    };

    const Entered first = enter(*this);
    if (first != Entered::Children) {
        if (first == Entered::Failed) return false;
        flush();
        return true;
    }
    detail::HeapStack<OpenElement> open;
    if (!open.push(Opened(*this))) return false;
    while (!open.empty()) {
        OpenElement& top = open.top();
        if (top.next < top.count) {
            prefetchAhead(top.children + top.next, top.count - top.next);
            const CXMLObject& child = top.children[top.next++];
            const Entered step = enter(child);
            if (step == Entered::Failed) return false;
            if (step == Entered::Children && !open.push(Opened(child))) return false;
            continue;
        }
        if (!leave(*top.node)) return false;
        open.pop();
    }
    flush();
    return true;
}

bool CXMLObject::Write(CXMLOut& out) const {
    if (tqplat::IsDebuggerPresent() &&
        DetailedMessageBox("CXMLObject::Write is obsolete", "Illegal code point reached", "xmlobj",
                           __LINE__, "bool tqcore::CXMLObject::Write(tqcore::CXMLOut&) const"))
        tqplat::DebugBreak();
    return out.Write(*this);
}

}  // namespace tqcore
