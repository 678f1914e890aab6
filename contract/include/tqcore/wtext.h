#pragma once
// UTF-16 literals as the `const unsigned short*` text that every interface of
// the family takes: W(u"text").
namespace tqcore {

inline const unsigned short* W(const char16_t* text) noexcept {
    return reinterpret_cast<const unsigned short*>(text);
}

}  // namespace tqcore
