#pragma once
// libxml2's reading of a document, for the differential test: its tree, and
// per element what its tree no longer tells apart: the attributes in the
// order written (namespace declarations sit in a separate list of the tree)
// and the pieces of text, marked as plain text, character reference or CDATA.
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tqcore::parsertest {

struct TextPiece {
    // Break: a child, comment or instruction between runs.
    enum Kind { Text, Reference, CData, Break };
    Kind kind;
    std::string utf8;
};

class Libxml2View {
  public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    // Parses without network, DTD loading or default attributes; entities
    // are substituted. The SAX1 handlers build the tree (their start-element
    // callback is the one that sees the attributes in document order).
    explicit Libxml2View(const std::string& path) {
        xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
        if (!ctxt) return;
        xmlSAXHandler sax;
        std::memset(&sax, 0, sizeof sax);
        if (xmlSAXVersion(&sax, 1) == 0) {
            sax.startElement = OnStartElement;
            sax.characters = OnCharacters;
            sax.ignorableWhitespace = OnCharacters;
            sax.cdataBlock = OnCData;
            sax.comment = OnComment;
            sax.processingInstruction = OnInstruction;
            *ctxt->sax = sax;
            ctxt->_private = this;
            m_doc = xmlCtxtReadFile(ctxt, path.c_str(), nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_HUGE);
        }
        xmlFreeParserCtxt(ctxt);
    }
    ~Libxml2View() { xmlFreeDoc(m_doc); }
    Libxml2View(const Libxml2View&) = delete;
    Libxml2View& operator=(const Libxml2View&) = delete;

    const xmlDoc* Doc() const { return m_doc; }
    const Attributes& AttributesOf(const xmlNode* node) const { return Find(m_attributes, node); }
    const std::vector<TextPiece>& PiecesOf(const xmlNode* node) const {
        return Find(m_pieces, node);
    }

  private:
    template <class V>
    static const V& Find(const std::unordered_map<const xmlNode*, V>& map, const xmlNode* node) {
        static const V none;
        const auto it = map.find(node);
        return it == map.end() ? none : it->second;
    }
    static Libxml2View& Of(void* ctx) {
        return *static_cast<Libxml2View*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    }
    static const xmlNode* Current(void* ctx) { return static_cast<xmlParserCtxtPtr>(ctx)->node; }
    void AddPiece(void* ctx, TextPiece::Kind kind, const xmlChar* text, int len) {
        if (const xmlNode* node = Current(ctx))
            m_pieces[node].push_back(
                {kind, std::string(reinterpret_cast<const char*>(text), len > 0 ? len : 0)});
    }

    static void OnStartElement(void* ctx, const xmlChar* name, const xmlChar** atts) {
        Of(ctx).AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2StartElement(ctx, name, atts);
        Attributes& out = Of(ctx).m_attributes[Current(ctx)];
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
        Of(ctx).AddPiece(ctx, FromReference(ctx, ch) ? TextPiece::Reference : TextPiece::Text, ch,
                         len);
        xmlSAX2Characters(ctx, ch, len);
    }
    static void OnCData(void* ctx, const xmlChar* value, int len) {
        Of(ctx).AddPiece(ctx, TextPiece::CData, value, len);
        xmlSAX2CDataBlock(ctx, value, len);
    }
    static void OnComment(void* ctx, const xmlChar* value) {
        Of(ctx).AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2Comment(ctx, value);
    }
    static void OnInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
        Of(ctx).AddPiece(ctx, TextPiece::Break, nullptr, 0);
        xmlSAX2ProcessingInstruction(ctx, target, data);
    }

    xmlDocPtr m_doc = nullptr;
    std::unordered_map<const xmlNode*, Attributes> m_attributes;
    std::unordered_map<const xmlNode*, std::vector<TextPiece>> m_pieces;
};

}  // namespace tqcore::parsertest
