#include "encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "convert.h"

namespace tqxmltool {

namespace {

bool StartsWith(const std::vector<unsigned char>& bytes,
                std::initializer_list<unsigned char> head) {
    return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
}

struct Guess {
    std::string encoding;  // empty: the bytes alone do not tell
    std::string evidence;
};

// The byte-order mark, else the width in which "<?xml" starts the text.
Guess FromLeadingBytes(const std::vector<unsigned char>& b) {
    const char* mark = "byte-order mark";
    const char* width = "no mark; the declaration's width";
    if (StartsWith(b, {0xEF, 0xBB, 0xBF})) return {"UTF-8", mark};
    if (StartsWith(b, {0xFF, 0xFE, 0x00, 0x00})) return {"UTF-32LE", mark};
    if (StartsWith(b, {0x00, 0x00, 0xFE, 0xFF})) return {"UTF-32BE", mark};
    if (StartsWith(b, {0xFF, 0xFE})) return {"UTF-16LE", mark};
    if (StartsWith(b, {0xFE, 0xFF})) return {"UTF-16BE", mark};
    if (StartsWith(b, {0x3C, 0x00, 0x00, 0x00})) return {"UTF-32LE", width};
    if (StartsWith(b, {0x00, 0x00, 0x00, 0x3C})) return {"UTF-32BE", width};
    if (StartsWith(b, {0x3C, 0x00, 0x3F, 0x00})) return {"UTF-16LE", width};
    if (StartsWith(b, {0x00, 0x3C, 0x00, 0x3F})) return {"UTF-16BE", width};
    return {};
}

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoding named by an XML declaration at the start of 8-bit text; empty
// when there is none or the name breaks the rule for encoding names.
std::string DeclaredEncoding(const std::vector<unsigned char>& b) {
    static const char kStart[] = "<?xml";
    const std::size_t limit = std::min<std::size_t>(b.size(), 1024);
    if (limit < 6 || std::memcmp(b.data(), kStart, 5) != 0 || !IsSpace(b[5])) return {};
    const auto* begin = reinterpret_cast<const char*>(b.data());
    const std::string head(begin, begin + limit);
    const std::size_t end = head.find("?>");
    std::size_t at = head.find("encoding", 5);
    if (at == std::string::npos || (end != std::string::npos && at > end)) return {};
    at += 8;
    while (at < head.size() && IsSpace(head[at])) ++at;
    if (at >= head.size() || head[at++] != '=') return {};
    while (at < head.size() && IsSpace(head[at])) ++at;
    if (at >= head.size() || (head[at] != '"' && head[at] != '\'')) return {};
    const std::size_t close = head.find(head[at], at + 1);
    if (close == std::string::npos) return {};
    std::string name = head.substr(at + 1, close - at - 1);
    const bool valid =
        !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
        std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        });
    return valid ? name : std::string();
}

bool IsWideEncoding(const std::string& folded) {
    return folded.rfind("UTF16", 0) == 0 || folded.rfind("UTF32", 0) == 0 ||
           folded.rfind("UCS", 0) == 0;
}

// The offset of the first byte that is not part of valid UTF-8; `n` when
// all are.
std::size_t FirstInvalidUtf8(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        std::uint32_t min;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            min = 0x10000;
        } else {
            return i;
        }
        if (n - i < length) return i;
        std::uint32_t code = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return i;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
        i += length;
    }
    return n;
}

// Where the text holds a zero unit, the parser would stop there and quietly
// drop the rest; XML text has none, so such input is refused.
bool HasZeroUnit(const DecodedText& decoded) {
    const std::vector<unsigned char>& t = decoded.text;
    if (decoded.form != TextForm::Utf16) return std::memchr(t.data(), 0, t.size()) != nullptr;
    for (std::size_t i = 0; i + 1 < t.size(); i += 2)
        if (t[i] == 0 && t[i + 1] == 0) return true;
    return false;
}

void Finish(DecodedText& decoded) {
    if (decoded.form == TextForm::Utf16 && decoded.text.size() % 2 != 0) {
        decoded.problem = "ends inside a UTF-16 unit";
    } else if (HasZeroUnit(decoded)) {
        decoded.problem = "holds a NUL character, which XML text never does";
    } else if (decoded.text.size() > kMaxTextBytes) {
        decoded.problem = "larger than the parser takes";
    } else {
        decoded.text.insert(decoded.text.end(), 2, 0);
        decoded.ok = true;
    }
}

}  // namespace

std::string Folded(const std::string& name) {
    std::string folded;
    for (char c : name)
        if (c != '-' && c != '_')
            folded += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return folded;
}

DecodedText Decode(std::vector<unsigned char>&& bytes) {
    DecodedText decoded;
    Guess guess = FromLeadingBytes(bytes);
    if (guess.encoding.empty()) {
        std::string declared = DeclaredEncoding(bytes);
        // A declaration naming a 16- or 32-bit encoding over 8-bit text is
        // wrong about itself; the bytes decide then.
        if (!declared.empty() && !IsWideEncoding(Folded(declared)))
            guess = {declared, "declaration"};
        else if (FirstInvalidUtf8(bytes.data(), bytes.size()) == bytes.size())
            guess = {"UTF-8", "valid UTF-8, no mark or declaration"};
        else
            guess = {"Windows-1252", "not valid UTF-8, no mark or declaration"};
    }
    decoded.encoding = guess.encoding;
    decoded.evidence = guess.evidence;
    const std::string folded = Folded(guess.encoding);
    // UTF-8 is widened here too: the library's UTF-8 reader takes only ASCII
    // letters in names, where XML allows any.
    if (folded == "WINDOWS1252" || folded == "CP1252" || folded == "UTF16LE") {
        decoded.form = folded == "UTF16LE" ? TextForm::Utf16 : TextForm::Ansi;
        decoded.text = std::move(bytes);
    } else {
        decoded.form = TextForm::Utf16;
        if (!ToUtf16(guess.encoding, bytes, decoded)) return decoded;
    }
    Finish(decoded);
    return decoded;
}

}  // namespace tqxmltool
