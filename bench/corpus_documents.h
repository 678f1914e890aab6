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

}  // namespace
