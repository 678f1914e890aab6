#pragma once
// Deciding an input's encoding as XML readers do, and turning the bytes into
// one of the two forms the tool hands the library: UTF-16LE or ANSI.
#include <string>
#include <vector>

namespace tqxmltool {

enum class TextForm { Utf16, Ansi };

struct DecodedText {
    bool ok = false;
    std::string encoding;  // the encoding read, e.g. "UTF-16BE"
    std::string evidence;  // what decided it, e.g. "byte-order mark"
    std::string problem;   // why the text could not be decoded
    TextForm form = TextForm::Utf16;
    // The text in `form`, closed by a zero unit of its width.
    std::vector<unsigned char> text;
};

// Upper case without '-' and '_', so "utf_8" and "UTF-8" compare equal.
std::string Folded(const std::string& name);

// The byte-order mark decides (UTF-8, UTF-16 or UTF-32 in either order);
// else the width of "<?xml" at the start; else the encoding the declaration
// names; else UTF-8 when the bytes are valid UTF-8; else Windows-1252.
// Everything but UTF-16LE and Windows-1252 is converted to UTF-16LE. `bytes` is consumed.
DecodedText Decode(std::vector<unsigned char>&& bytes);

}  // namespace tqxmltool
