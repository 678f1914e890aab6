#pragma once
// The records of a binary image: little-endian, unaligned, byte by byte.
#include <cstddef>
#include <cstdint>

namespace tqcore {

struct CXMLImageHeader {
    static constexpr std::size_t kBytes = 12;
    static constexpr std::uint32_t kUtf8Strings = 1;  // flags bit 0; clear: UTF-16LE
    std::uint32_t uHeaderSize;                        // offset of the first string
    std::uint32_t uStringCount;
    std::uint32_t uFlags;
};

struct CXMLImageNode {
    static constexpr std::size_t kBytes = 10;
    // Content bit 31: the rest is the data's string id and no children follow;
    // clear: the number of child records that follow.
    static constexpr std::uint32_t kDataFlag = 0x80000000u;
    std::uint32_t uName;
    std::uint16_t uAttribCount;
    std::uint32_t uContent;
};

struct CXMLImageAttrib {
    static constexpr std::size_t kBytes = 8;
    std::uint32_t uName;
    std::uint32_t uValue;
};

namespace image {

inline void PutU16(unsigned char* out, std::uint16_t v) noexcept {
    out[0] = static_cast<unsigned char>(v);
    out[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutU32(unsigned char* out, std::uint32_t v) noexcept {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline std::uint16_t GetU16(const unsigned char* in) noexcept {
    return static_cast<std::uint16_t>(in[0] | in[1] << 8);
}
inline std::uint32_t GetU32(const unsigned char* in) noexcept {
    return std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 |
           std::uint32_t{in[3]} << 24;
}

inline void Encode(const CXMLImageHeader& h, unsigned char* out) noexcept {
    PutU32(out, h.uHeaderSize);
    PutU32(out + 4, h.uStringCount);
    PutU32(out + 8, h.uFlags);
}
inline CXMLImageHeader DecodeHeader(const unsigned char* in) noexcept {
    return {GetU32(in), GetU32(in + 4), GetU32(in + 8)};
}
inline void Encode(const CXMLImageNode& n, unsigned char* out) noexcept {
    PutU32(out, n.uName);
    PutU16(out + 4, n.uAttribCount);
    PutU32(out + 6, n.uContent);
}
inline CXMLImageNode DecodeNode(const unsigned char* in) noexcept {
    return {GetU32(in), GetU16(in + 4), GetU32(in + 6)};
}
inline void Encode(const CXMLImageAttrib& a, unsigned char* out) noexcept {
    PutU32(out, a.uName);
    PutU32(out + 4, a.uValue);
}
inline CXMLImageAttrib DecodeAttrib(const unsigned char* in) noexcept {
    return {GetU32(in), GetU32(in + 4)};
}

}  // namespace image
}  // namespace tqcore
