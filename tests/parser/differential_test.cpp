// Each corpus document (none mixes content) gives libxml2's tree: names,
// attributes (namespace declarations included) in document order, and data
// once libxml2's text has been through our white-space and reference rules;
// read from a file as UTF-8 and from UTF-16 text in memory.
#include <gtest/gtest.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser_test_support.h"
#include "support/corpus_list.h"

namespace tqcore {
namespace {

// libxml2's tree, and per element what the tree no longer tells apart: the
// attributes in the order written (namespace declarations sit apart there)
// and the pieces of text, as plain text, character reference or CDATA.
struct TextPiece {
    // Break: a child, comment or instruction between runs.
    enum Kind { Text, Reference, CData, Break };
    Kind kind;
    std::string utf8;
};

struct Libxml2View {
    // Parses without network, DTD loading or default attributes; entities
    // are substituted. The SAX1 handlers build the tree (their start-element
    // callback is the one that sees the attributes in document order).
    explicit Libxml2View(const std::string& path) {
        xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
        if (!ctxt) return;
        std::memset(ctxt->sax, 0, sizeof *ctxt->sax);
        if (xmlSAXVersion(ctxt->sax, 1) == 0) {
            ctxt->sax->startElement = OnStartElement;
            ctxt->sax->characters = ctxt->sax->ignorableWhitespace = OnCharacters;
            ctxt->sax->cdataBlock = OnCData;
            ctxt->sax->comment = OnComment;
            ctxt->sax->processingInstruction = OnInstruction;
            ctxt->_private = this;
            doc = xmlCtxtReadFile(ctxt, path.c_str(), nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_HUGE);
        }
        xmlFreeParserCtxt(ctxt);
    }
    ~Libxml2View() { xmlFreeDoc(doc); }
    Libxml2View(const Libxml2View&) = delete;
    Libxml2View& operator=(const Libxml2View&) = delete;

    xmlDocPtr doc = nullptr;
    std::unordered_map<const xmlNode*, std::vector<std::pair<std::string, std::string>>> attributes;
    std::unordered_map<const xmlNode*, std::vector<TextPiece>> pieces;

  private:
    static Libxml2View& Of(void* ctx) {
        return *static_cast<Libxml2View*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    }
    static void AddPiece(void* ctx, TextPiece::Kind kind, const xmlChar* text, int len) {
        if (const xmlNode* node = static_cast<xmlParserCtxtPtr>(ctx)->node)
            Of(ctx).pieces[node].push_back(
                {kind, std::string(reinterpret_cast<const char*>(text), len > 0 ? len : 0)});
    }

    static void OnStartElement(void* ctx, const xmlChar* name, const xmlChar** atts) {
        AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2StartElement(ctx, name, atts);
        auto& out = Of(ctx).attributes[static_cast<xmlParserCtxtPtr>(ctx)->node];
        for (; atts && atts[0]; atts += 2)
            out.emplace_back(reinterpret_cast<const char*>(atts[0]),
                             atts[1] ? reinterpret_cast<const char*>(atts[1]) : "");
    }

    // Plain text is handed over either where it stands in the input buffer or,
    // for non-ASCII runs, from a copy with the input already past it; a
    // character reference comes from a copy with the input just after its ";".
    static bool FromReference(void* ctx, const xmlChar* ch) {
        const xmlParserInputPtr in = static_cast<xmlParserCtxtPtr>(ctx)->input;
        if (!in || (ch >= in->base && ch < in->end)) return false;
        const xmlChar* p = in->cur - 1;
        if (p - in->base < 3 || *p != ';') return false;
        for (--p; p > in->base && std::isxdigit(*p);) --p;
        if (*p == 'x') --p;
        return p > in->base && p[0] == '#' && p[-1] == '&';
    }
    static void OnCharacters(void* ctx, const xmlChar* ch, int len) {
        AddPiece(ctx, FromReference(ctx, ch) ? TextPiece::Reference : TextPiece::Text, ch, len);
        xmlSAX2Characters(ctx, ch, len);
    }
    static void OnCData(void* ctx, const xmlChar* value, int len) {
        AddPiece(ctx, TextPiece::CData, value, len);
        xmlSAX2CDataBlock(ctx, value, len);
    }
    static void OnComment(void* ctx, const xmlChar* value) {
        AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2Comment(ctx, value);
    }
    static void OnInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
        AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2ProcessingInstruction(ctx, target, data);
    }
};

// libxml2 hands out well-formed UTF-8.
std::u32string CodePoints(const std::string& utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (utf8[i + k] & 0x3F);
        out += cp;
        i += extra + 1;
    }
    return out;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
}

// An element's data as our parser keeps it: white space before a run is
// skipped, a run of it becomes one space and trailing white space is dropped,
// while white space from a reference or inside CDATA stays. A reference gives
// one 16-bit unit (larger values wrap). False when the element holds a second
// run of data, which our parser refuses.
bool DataAsParsed(const std::vector<TextPiece>& pieces, std::u16string& out) {
    out.clear();
    std::size_t end = 0;  // after the last unit that counts
    bool inRun = false, runDone = false;
    for (const TextPiece& piece : pieces) {
        if (piece.kind == TextPiece::Break) {
            runDone = runDone || inRun;
            inRun = false;
            out.resize(end);
            continue;
        }
        for (char32_t cp : CodePoints(piece.utf8)) {
            const bool space = piece.kind == TextPiece::Text &&
                               (cp == ' ' || cp == '\n' || cp == '\r' || cp == '\t');
            if (!inRun) {
                if (space) continue;
                if (runDone) return false;
                inRun = true;
            }
            if (space) {
                if (out.back() != u' ') out += u' ';
                continue;
            }
            if (piece.kind == TextPiece::Reference)
                out += static_cast<char16_t>(cp & 0xFFFF);
            else
                AppendUtf16(out, cp);
            end = out.size();
        }
    }
    out.resize(end);
    return true;
}

// Whether our attribute value is libxml2's normalised one as our parser keeps
// it. There, white space written as such has become spaces, so any other
// white space came from a reference and stays; a leading run gives one space,
// a trailing run is dropped. A character beyond 16 bits is a surrogate pair
// when it was written as such, one wrapped unit when it came from a
// reference, and libxml2's value does not say which: either matches.
bool MatchesAttribute(const std::u16string& ours, const std::string& theirs) {
    std::u32string model;
    std::size_t end = 0;
    for (char32_t cp : CodePoints(theirs)) {
        if (cp != U' ' || model.empty() || model.back() != U' ') model += cp;
        if (cp != U' ') end = model.size();
    }
    model.resize(end);
    std::size_t i = 0;
    for (char32_t cp : model) {
        std::u16string pair;
        AppendUtf16(pair, cp);
        if (ours.compare(i, pair.size(), pair) == 0)
            i += pair.size();
        else if (cp > 0xFFFF && i < ours.size() && ours[i] == static_cast<char16_t>(cp & 0xFFFF))
            ++i;
        else
            return false;
    }
    return i == ours.size();
}

std::u16string Ours(const CPPoolString& s) {
    return s.isnull() ? std::u16string() : std::u16string(s.c16(), s.len());
}
// The two texts around their first difference (long data would hide it).
std::string Contrast(const std::u16string& ours, const std::u16string& theirs) {
    std::size_t at = 0;
    while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) ++at;
    const std::size_t from = at > 30 ? at - 30 : 0;
    return "at unit " + std::to_string(at) + ": \"" + parsertest::Utf8(ours.substr(from, 60)) +
           "\" vs \"" + parsertest::Utf8(theirs.substr(from, 60)) + "\"";
}

std::string QualifiedName(const xmlNode* node) {
    const std::string local = reinterpret_cast<const char*>(node->name);
    return node->ns && node->ns->prefix
               ? reinterpret_cast<const char*>(node->ns->prefix) + (":" + local)
               : local;
}

std::vector<const xmlNode*> ElementChildren(const xmlNode* first) {
    std::vector<const xmlNode*> out;
    for (const xmlNode* n = first; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) out.push_back(n);
    return out;
}

// Compares one element (name, attributes, data); empty when they agree.
std::string NodeDifference(const CXMLObject& ours, const xmlNode* theirs, Libxml2View& view) {
    if (const std::string name = parsertest::Utf8(ours.GetName()); name != QualifiedName(theirs))
        return "name \"" + name + "\" vs \"" + QualifiedName(theirs) + "\"";
    const auto& attributes = view.attributes[theirs];
    unsigned int count = 0;
    const CXMLAttribute* ourAttributes = ours.GetAttributes(count);
    if (count != attributes.size())
        return std::to_string(count) + " attributes vs " + std::to_string(attributes.size());
    for (unsigned int i = 0; i < count; ++i) {
        const std::string name = parsertest::Utf8(ourAttributes[i].GetName());
        if (name != attributes[i].first)
            return "attribute \"" + name + "\" vs \"" + attributes[i].first + "\"";
        const std::u16string value = Ours(ourAttributes[i].GetValue());
        if (!MatchesAttribute(value, attributes[i].second))
            return "@" + name + " \"" + parsertest::Utf8(value) + "\" vs \"" +
                   attributes[i].second + "\"";
    }
    std::u16string data;
    if (!DataAsParsed(view.pieces[theirs], data)) return "libxml2 holds more than one run of data";
    if (Ours(CXMLObjectTestAccess::Data(ours)) != data)
        return "data " + Contrast(Ours(CXMLObjectTestAccess::Data(ours)), data);
    return "";
}

// The first difference, with the path to the node; empty when the trees agree.
// Iterative: one corpus document is 10,000 levels deep.
std::string TreeDifference(const CXMLObject& root, Libxml2View& view) {
    if (!root) return "our parse failed";
    if (!view.doc) return "libxml2's parse failed";
    if (!CXMLObjectTestAccess::Data(root).isnull()) return "data at the top level";
    struct Pending {
        CXMLObject ours;
        std::vector<const xmlNode*> theirs;  // the libxml2 children of the same parent
        std::string path;
    };
    std::vector<Pending> pending{{root, ElementChildren(view.doc->children), ""}};
    while (!pending.empty()) {
        const Pending level = std::move(pending.back());
        pending.pop_back();
        unsigned int count = 0;
        const CXMLObject* children = CXMLObjectTestAccess::Children(level.ours, count);
        if (count != level.theirs.size())
            return level.path + ": " + std::to_string(count) + " elements vs " +
                   std::to_string(level.theirs.size());
        for (unsigned int i = 0; i < count; ++i) {
            const std::string path =
                level.path + "/" + QualifiedName(level.theirs[i]) + "[" + std::to_string(i) + "]";
            const std::string difference = NodeDifference(children[i], level.theirs[i], view);
            if (!difference.empty()) return path + ": " + difference;
            pending.push_back({children[i], ElementChildren(level.theirs[i]->children), path});
        }
    }
    return "";
}

TEST(Differential, TreesMatchLibxml2) {
    using parsertest::Entry;
    for (const char* name : tqtest::kCorpusDocuments) {
        const std::string path = tqtest::CorpusPath(name), text = tqtest::ReadBytes(path);
        Libxml2View view(path);
        const std::u16string wide = tqtest::Utf16Document(text);
        // A byte-order mark makes the file read as UTF-8 (without one it is ANSI).
        for (const auto& [entry, bytes] :
             {std::pair{Entry::File, "\xEF\xBB\xBF" + text},
              std::pair{Entry::Generic, std::string(reinterpret_cast<const char*>(wide.data()),
                                                    wide.size() * sizeof(char16_t))}}) {
            CXMLDoc doc;
            EXPECT_EQ(parsertest::Open(doc, entry, bytes), "") << name;
            EXPECT_EQ(TreeDifference(doc.GetContent(), view), "")
                << name << (entry == Entry::File ? " from the file as UTF-8" : " from UTF-16 text");
        }
    }
}

}  // namespace
}  // namespace tqcore
