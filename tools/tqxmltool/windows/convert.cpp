// Conversion to UTF-16LE through the system's code pages. The system converts
// no 16- or 32-bit encoding, so those are rearranged here.
#include "convert.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace tqxmltool {
namespace {

struct CodePage {
    const char* folded;  // as Folded() gives it
    UINT id;
};

constexpr CodePage kCodePages[] = {
    {"UTF8", CP_UTF8},     {"USASCII", 20127},    {"ASCII", 20127},      {"ISO88591", 28591},
    {"LATIN1", 28591},     {"ISO88592", 28592},   {"ISO88593", 28593},   {"ISO88594", 28594},
    {"ISO88595", 28595},   {"ISO88596", 28596},   {"ISO88597", 28597},   {"ISO88598", 28598},
    {"ISO88599", 28599},   {"ISO885913", 28603},  {"ISO885915", 28605},  {"WINDOWS1250", 1250},
    {"WINDOWS1251", 1251}, {"WINDOWS1253", 1253}, {"WINDOWS1254", 1254}, {"WINDOWS1255", 1255},
    {"WINDOWS1256", 1256}, {"WINDOWS1257", 1257}, {"WINDOWS1258", 1258}, {"KOI8R", 20866},
    {"KOI8U", 21866},      {"SHIFTJIS", 932},     {"SJIS", 932},         {"EUCJP", 20932},
    {"GB2312", 936},       {"GBK", 936},          {"BIG5", 950},         {"EUCKR", 949},
    {"IBM437", 437},
};

void Fail(DecodedText& result, std::string problem) {
    result.problem = std::move(problem);
    result.text.clear();
}

void PutUnit(std::vector<unsigned char>& out, std::uint32_t unit) {
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>(unit >> 8));
}

bool FromUtf16Be(const std::vector<unsigned char>& in, DecodedText& result) {
    if (in.size() % 2 != 0) {
        Fail(result, "ends inside a UTF-16BE character");
        return false;
    }
    result.text.resize(in.size());
    for (std::size_t i = 0; i < in.size(); i += 2) {
        result.text[i] = in[i + 1];
        result.text[i + 1] = in[i];
    }
    return true;
}

bool FromUtf32(const std::vector<unsigned char>& in, bool bigEndian, const std::string& encoding,
               DecodedText& result) {
    if (in.size() % 4 != 0) {
        Fail(result, "ends inside a " + encoding + " character");
        return false;
    }
    std::vector<unsigned char>& out = result.text;
    out.reserve(in.size() / 2);
    for (std::size_t i = 0; i < in.size(); i += 4) {
        std::uint32_t code = 0;
        for (int k = 0; k < 4; ++k)
            code |= std::uint32_t{in[i + (bigEndian ? 3 - k : k)]} << (8 * k);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            Fail(result, "not valid " + encoding + " at byte " + std::to_string(i));
            return false;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            PutUnit(out, 0xD800 + (code >> 10));
            PutUnit(out, 0xDC00 + (code & 0x3FF));
        } else {
            PutUnit(out, code);
        }
    }
    return true;
}

bool FromCodePage(UINT codePage, const std::vector<unsigned char>& in, const std::string& encoding,
                  DecodedText& result) {
    if (in.empty()) return true;
    if (in.size() > 0x7FFFFFFF) {
        Fail(result, "larger than the parser takes once converted to UTF-16");
        return false;
    }
    const auto* source = reinterpret_cast<const char*>(in.data());
    const int length = static_cast<int>(in.size());
    const int units =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, source, length, nullptr, 0);
    if (units <= 0) {
        Fail(result, GetLastError() == ERROR_NO_UNICODE_TRANSLATION
                         ? "not valid " + encoding
                         : std::string("an encoding this tool does not know"));
        return false;
    }
    if (static_cast<std::size_t>(units) * 2 > kMaxTextBytes) {
        Fail(result, "larger than the parser takes once converted to UTF-16");
        return false;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(units));
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, source, length, wide.data(), units);
    result.text.reserve(wide.size() * 2);
    for (wchar_t unit : wide) PutUnit(result.text, static_cast<std::uint16_t>(unit));
    return true;
}

}  // namespace

bool ToUtf16(const std::string& encoding, const std::vector<unsigned char>& in,
             DecodedText& result) {
    const std::string folded = Folded(encoding);
    if (folded == "UTF16BE") return FromUtf16Be(in, result);
    if (folded == "UTF32LE" || folded == "UTF32BE")
        return FromUtf32(in, folded == "UTF32BE", encoding, result);
    for (const CodePage& page : kCodePages)
        if (folded == page.folded) return FromCodePage(page.id, in, encoding, result);
    Fail(result, "an encoding this tool does not know");
    return false;
}

}  // namespace tqxmltool
