#pragma once
// The corpus documents that every tree round trip covers: all but the one
// with mixed content, whose text between child elements has no place in a
// tree.
#include <cctype>
#include <string>

namespace corpus {

inline constexpr const char* kWithoutMixedContent[] = {
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
inline std::string TestName(const char* document) {
    std::string name;
    for (const char* p = document; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

}  // namespace corpus
