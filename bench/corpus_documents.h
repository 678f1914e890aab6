#pragma once
// The corpus documents the benchmarks run over, read once into memory as
// UTF-8 and as UTF-16 text.
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "tqplatform/codepage.h"

namespace {

const char* const kDocuments[] = {
    "Gio-2.0.gir.xml",     "attrs.xml",     "deep.xml",        "docbook-5.0.rng.xml",
    "freedesktop.org.xml", "iso_639-3.xml", "libxml2-api.xml", "libxml2-news.xhtml.xml",
    "records.xml",         "text.xml",      "wide.xml",
};

// One document in both encodings; the UTF-16 text starts with the mark FF FE
// and both end in a zero unit that the sizes leave out.
struct Document {
    std::string name;
    std::string utf8;
    std::u16string utf16;
    std::size_t Utf16Bytes() const { return utf16.size() * sizeof(char16_t); }
};

// Keeps `utf8` and its UTF-16 form as the document `name`.
bool Fill(const std::string& name, std::string utf8, Document& doc) {
    doc.name = name;
    doc.utf8 = std::move(utf8);
    std::u16string wide(doc.utf8.size() + 1, u'\0');
    const int n = tqplat::MultiByteToWideChar(
        tqplat::CP_UTF8, 0, doc.utf8.data(), static_cast<int>(doc.utf8.size()),
        reinterpret_cast<unsigned short*>(wide.data()), static_cast<int>(wide.size()));
    if (n <= 0) return false;
    wide.resize(static_cast<std::size_t>(n));
    doc.utf16 = u"\xFEFF" + wide;
    return true;
}

bool Load(const std::string& name, Document& doc) {
    std::ifstream file(std::string(TQXML_CORPUS_DIR) + "/" + name, std::ios::binary);
    if (!file) return false;
    std::stringstream bytes;
    bytes << file.rdbuf();
    return Fill(name, bytes.str(), doc);
}

// The letters and digits of `utf8`'s texts (data and attribute values)
// rotated by `by`; names, references and declarations stay as they are. The
// result is a document of the same shape whose texts another rotation does
// not share.
inline std::string RotateTexts(const std::string& utf8, unsigned by) {
    std::string out = utf8;
    const auto rotate = [by](char& c) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>('a' + (c - 'a' + by) % 26);
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>('A' + (c - 'A' + by) % 26);
        else if (c >= '0' && c <= '9')
            c = static_cast<char>('0' + (c - '0' + by) % 10);
    };
    char quote = 0;         // in an attribute value: its quote
    bool inTag = false;     // in a start or end tag
    bool verbatim = false;  // in a declaration, comment or processing instruction
    bool inReference = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        char& c = out[i];
        if (verbatim) {
            verbatim = c != '>';
        } else if (inReference) {
            inReference = c != ';';
        } else if (c == '&') {
            inReference = true;
        } else if (inTag && !quote) {
            if (c == '"' || c == '\'') quote = c;
            inTag = c != '>';
        } else if (quote) {
            if (c == quote)
                quote = 0;
            else
                rotate(c);
        } else if (c == '<') {
            const char next = i + 1 < out.size() ? out[i + 1] : 0;
            verbatim = next == '!' || next == '?';
            inTag = !verbatim;
        } else {
            rotate(c);
        }
    }
    return out;
}

}  // namespace
