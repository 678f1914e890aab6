// pugixml as the base of bench/paired/paired.cpp, so that our build and the
// peer see the same moments of a noisy machine: it parses and frees the
// same text, or writes its tree of the text as raw UTF-16 to memory, as
// bench_parse and bench_xmlout time it.
#include <cstring>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <vector>

#define PAIRED_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The driver is given a terminated text; its length is measured once.
std::size_t Bytes(const void* text, int utf8) {
    static std::map<const void*, std::size_t> sizes;
    std::size_t& size = sizes[text];
    if (size == 0) {
        if (utf8) {
            size = std::strlen(static_cast<const char*>(text));
        } else {
            const auto* p = static_cast<const char16_t*>(text);
            while (p[size / 2]) size += 2;
        }
    }
    return size;
}

struct Buffer : pugi::xml_writer {
    std::vector<char> bytes;
    void write(const void* data, size_t size) override {
        bytes.insert(bytes.end(), static_cast<const char*>(data),
                     static_cast<const char*>(data) + size);
    }
};

}  // namespace

PAIRED_EXPORT void paired_init(int) {}

PAIRED_EXPORT int paired_parse(const void* text, int utf8) {
    pugi::xml_document doc;
    return static_cast<bool>(doc.load_buffer(text, Bytes(text, utf8), pugi::parse_default,
                                             utf8 ? pugi::encoding_utf8 : pugi::encoding_utf16_le));
}

PAIRED_EXPORT int paired_write(const void* text) {
    static std::map<const void*, std::unique_ptr<pugi::xml_document>> trees;
    auto& doc = trees[text];
    if (!doc) {
        doc = std::make_unique<pugi::xml_document>();
        if (!doc->load_buffer(text, Bytes(text, 1), pugi::parse_default, pugi::encoding_utf8))
            return 0;
    }
    Buffer out;
    doc->save(out, PUGIXML_TEXT(""), pugi::format_raw | pugi::format_write_bom,
              pugi::encoding_utf16_le);
    return !out.bytes.empty();
}
