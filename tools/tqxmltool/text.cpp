#include "text.h"

#include <tqplatform/codepage.h>

namespace tqxmltool {

std::string Utf8(const unsigned short* text, std::size_t count) {
    std::string out;
    // Converted in slices so that any length fits the int counts.
    constexpr std::size_t kSlice = 1 << 20;
    for (std::size_t done = 0; done < count;) {
        std::size_t n = count - done < kSlice ? count - done : kSlice;
        // Keep a surrogate pair together.
        if (n < count - done && text[done + n - 1] >= 0xD800 && text[done + n - 1] <= 0xDBFF) --n;
        int bytes = tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, text + done,
                                                static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, text + done, static_cast<int>(n),
                                        &out[at], bytes, nullptr, nullptr);
        done += n;
    }
    return out;
}

std::string Utf8(const unsigned short* text) {
    if (!text) return std::string();
    std::size_t n = 0;
    while (text[n]) ++n;
    return Utf8(text, n);
}

}  // namespace tqxmltool
