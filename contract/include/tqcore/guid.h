#pragma once
// GUIDs and their text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#include <cstdint>
#include <cstring>

#include "tqcore/export.h"
#include "tqcore/pool.h"

namespace tqcore {

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes");

inline bool operator==(const GUID& a, const GUID& b) noexcept {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) noexcept {
    return !(a == b);
}

inline constexpr GUID GUID_NULL{};

class TQCORE_API CGUID : public GUID {
  public:
    // Characters of the text form without its terminator.
    static constexpr unsigned int kTextLength = 38;

    CGUID() noexcept : GUID{} {}
    CGUID(const GUID& g) noexcept : GUID(g) {}
    CGUID& operator=(const GUID& g) noexcept {
        static_cast<GUID&>(*this) = g;
        return *this;
    }

    // Parsing: upper or lower case, with or without the braces, nothing
    // before or after. Text that does not parse (null included) gives GUID_NULL.
    CGUID& operator=(const unsigned short* text) noexcept;
    CGUID& operator=(const char16_t* text) noexcept {
        return *this = reinterpret_cast<const unsigned short*>(text);
    }
    CGUID& operator=(const CPPoolString& text) noexcept {
        return *this = static_cast<const unsigned short*>(text);
    }
    // The same, telling whether the text parsed; `out` is untouched when not.
    static bool Parse(const unsigned short* text, GUID& out) noexcept;

    // The braced upper-case text as a pooled string (null when memory runs out).
    CPPoolString GetString() const;
};

}  // namespace tqcore
