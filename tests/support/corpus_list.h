#pragma once
// The corpus documents that hold no mixed content, and their text.
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "tqplatform/codepage.h"

namespace tqtest {

inline const char* const kCorpusDocuments[] = {
    "Gio-2.0.gir.xml",
    "attrs.xml",
    "deep.xml",
    "docbook-5.0.rng.xml",
    "freedesktop.org.xml",
    "iso_639-3.xml",
    "libxml2-api.xml",
    "records.xml",
    "text.xml",
    "wide.xml",
};

// A document name as a test name: letters and digits, '_' for the rest.
inline std::string CorpusTestName(const char* document) {
    std::string name;
    for (const char* p = document; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

inline std::string CorpusPath(const char* name) {
    return std::string(TQXML_CORPUS_DIR) + "/" + name;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// UTF-8 text as UTF-16 behind a byte-order mark, zero-terminated.
inline std::u16string Utf16Document(const std::string& utf8) {
    const std::string body = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? utf8.substr(3) : utf8;
    const int units = tqplat::MultiByteToWideChar(tqplat::CP_UTF8, 0, body.data(),
                                                  static_cast<int>(body.size()), nullptr, 0);
    std::u16string text(static_cast<std::size_t>(units > 0 ? units : 0) + 1, u'\xFEFF');
    tqplat::MultiByteToWideChar(tqplat::CP_UTF8, 0, body.data(), static_cast<int>(body.size()),
                                reinterpret_cast<unsigned short*>(&text[1]), units);
    return text;
}

}  // namespace tqtest
