// Every corpus document without mixed content gives the same elements as
// libxml2, read from a file as UTF-8 and from UTF-16 text: names as written,
// attributes with their values (namespace declarations first: libxml2 keeps
// them apart), data text and the number of children. White space is compared
// collapsed, as its exact rules are the block parser tests' subject, and a
// character beyond 16 bits by its low 16 bits, as a reference keeps only them.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>

#include "parser_test_support.h"
#include "support/corpus_list.h"

namespace tqcore::parsertest {
namespace {

// One element: "name a=v ... {data} children".
using Line = std::u32string;

// Code points cut to 16 bits, white-space runs as one space, none at the end.
void AppendCanonical(Line& out, char32_t cp) {
    if (cp != ' ' && cp != '\t' && cp != '\n' && cp != '\r')
        out += cp & 0xFFFF;
    else if (!out.empty() && out.back() != U' ')
        out += U' ';
}

Line Canonical(const unsigned short* text) {
    Line out;
    for (const unsigned short* p = text; p && *p; ++p) {
        const bool pair = p[0] >= 0xD800 && p[0] < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000;
        AppendCanonical(out, pair ? 0x10000 + ((p[0] - 0xD800) << 10) + (p[1] - 0xDC00) : *p);
        p += pair;
    }
    if (!out.empty() && out.back() == U' ') out.pop_back();
    return out;
}

// libxml2 hands out well-formed UTF-8; decoded here, not by the converter
// our parser uses.
Line Canonical(const std::string& utf8) {
    Line out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (utf8[i + k] & 0x3F);
        AppendCanonical(out, cp);
        i += extra + 1;
    }
    if (!out.empty() && out.back() == U' ') out.pop_back();
    return out;
}

std::string Str(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}
std::string QualifiedName(const xmlNs* ns, const xmlChar* name) {
    return ns && ns->prefix ? Str(ns->prefix) + ":" + Str(name) : Str(name);
}
Line Count(std::size_t n) {
    const std::string digits = std::to_string(n);
    return Line(digits.begin(), digits.end());
}

// Document order, without recursion (one document is 10,000 levels deep).
std::vector<Line> OurElements(const CXMLObject& root) {
    std::vector<Line> lines;
    std::vector<CXMLObject> pending{root};
    while (!pending.empty()) {
        const CXMLObject node = pending.back();
        pending.pop_back();
        unsigned int count = 0;
        const CXMLAttribute* attributes = node.GetAttributes(count);
        std::vector<CXMLAttribute> ordered(attributes, attributes + count);
        std::stable_partition(ordered.begin(), ordered.end(), [](const CXMLAttribute& a) {
            const Line name = Canonical(a.GetName());
            return name.compare(0, 5, U"xmlns") == 0 && (name.size() == 5 || name[5] == U':');
        });
        Line line = Canonical(node.GetName());
        for (const CXMLAttribute& a : ordered)
            line += U" " + Canonical(a.GetName()) + U"=" + Canonical(a.GetValue());
        line += U" {" + Canonical(CXMLObjectTestAccess::Data(node)) + U"} ";
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
        for (unsigned int i = count; i-- > 0;) pending.push_back(children[i]);
        lines.push_back(line + Count(count));
    }
    return lines;
}

std::vector<Line> TheirElements(const xmlDoc* doc) {
    std::vector<Line> lines;
    std::vector<const xmlNode*> pending{reinterpret_cast<const xmlNode*>(doc)};
    while (!pending.empty()) {
        const xmlNode* node = pending.back();
        pending.pop_back();
        Line line = U"<Main>";
        if (node->type == XML_ELEMENT_NODE) {
            line = Canonical(QualifiedName(node->ns, node->name));
            for (const xmlNs* ns = node->nsDef; ns; ns = ns->next)
                line += U" " + Canonical(ns->prefix ? "xmlns:" + Str(ns->prefix) : "xmlns") + U"=" +
                        Canonical(Str(ns->href));
            for (const xmlAttr* a = node->properties; a; a = a->next) {
                xmlChar* value = xmlNodeListGetString(a->doc, a->children, 1);
                line +=
                    U" " + Canonical(QualifiedName(a->ns, a->name)) + U"=" + Canonical(Str(value));
                xmlFree(value);
            }
        }
        std::string data;
        std::vector<const xmlNode*> children;
        for (const xmlNode* child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE)
                children.push_back(child);
            else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
                data += Str(child->content);
        pending.insert(pending.end(), children.rbegin(), children.rend());
        lines.push_back(line + U" {" + Canonical(data) + U"} " + Count(children.size()));
    }
    return lines;
}

void ExpectSameElements(const CXMLObject& root, const std::vector<Line>& theirs) {
    const std::vector<Line> ours = OurElements(root);
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "element " << i;
}

TEST(Differential, ElementsMatchLibxml2) {
    for (const char* name : tqtest::kCorpusDocuments) {
        SCOPED_TRACE(name);
        const std::string path = tqtest::CorpusPath(name);
        xmlDoc* model =
            xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_HUGE);
        ASSERT_TRUE(model);
        const std::vector<Line> theirs = TheirElements(model);
        xmlFreeDoc(model);

        // A byte-order mark makes the file read as UTF-8 (without one it is ANSI).
        const std::string text = tqtest::ReadBytes(path);
        CXMLDoc doc;
        ASSERT_EQ(Open(doc, Entry::File, "\xEF\xBB\xBF" + text), "");
        ExpectSameElements(doc.GetContent(), theirs);
        ASSERT_TRUE(doc.OpenDocText(tqtest::Utf16Document(text).c_str(), CXML_REPORT_SILENT));
        ExpectSameElements(doc.GetContent(), theirs);
    }
}

}  // namespace
}  // namespace tqcore::parsertest
