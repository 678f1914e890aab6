// UTF-8 <-> UTF-16. Invalid UTF-8 becomes one U+FFFD per maximal invalid
// subsequence; lone surrogates in UTF-16 become U+FFFD. ASCII runs, the
// common case in markup, are copied eight bytes (four units) at a time.
#include <cstring>

#include "codepage_internal.h"

namespace tqplat::codepage {
namespace {

constexpr std::uint64_t kAsciiMask8 = 0x8080808080808080ull;
constexpr std::uint64_t kAsciiMask16 = 0xFF80FF80FF80FF80ull;

// Sinks for the two modes; Counting never runs out of room.
template <typename Unit>
class Sink {
  public:
    Sink(Unit* target, std::size_t capacity) : target_(target), capacity_(capacity) {}
    bool counting() const { return target_ == nullptr; }
    std::size_t size() const { return size_; }
    std::size_t room() const {
        return counting() ? static_cast<std::size_t>(-1) : capacity_ - size_;
    }
    // Returns false when the target is full.
    bool put(unsigned value) {
        if (!counting()) {
            if (size_ == capacity_) return false;
            target_[size_] = static_cast<Unit>(value);
        }
        ++size_;
        return true;
    }
    void skip(std::size_t n) { size_ += n; }
    Unit* cursor() const { return target_ + size_; }

  private:
    Unit* target_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

// Length of the ASCII run at the start of `s` that fits `room`, in blocks of eight.
std::size_t AsciiRun8(const unsigned char* s, std::size_t length, std::size_t room) {
    std::size_t n = 0;
    while (length - n >= 8 && room - n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, s + n, 8);
        if (w & kAsciiMask8) break;
        n += 8;
    }
    return n;
}

std::size_t AsciiRun16(const unsigned short* s, std::size_t length, std::size_t room) {
    std::size_t n = 0;
    while (length - n >= 4 && room - n >= 4) {
        std::uint64_t w;
        std::memcpy(&w, s + n, 8);
        if (w & kAsciiMask16) break;
        n += 4;
    }
    return n;
}

// Number of continuation bytes a lead byte announces (0 for an invalid lead)
// and the allowed range of the first continuation byte; the narrower ranges
// exclude overlong forms, encoded surrogates and values above U+10FFFF.
struct Lead {
    unsigned trail;
    unsigned char low, high;
};

Lead ClassifyLead(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

bool PutCodePoint(Sink<unsigned short>& out, std::uint32_t cp) {
    if (cp < 0x10000) return out.put(cp);
    cp -= 0x10000;
    return out.put(0xD800 + (cp >> 10)) && out.put(0xDC00 + (cp & 0x3FF));
}

}  // namespace

std::size_t Utf8ToUtf16(const unsigned char* s, std::size_t length, unsigned short* target,
                        std::size_t capacity, bool failOnInvalid) {
    Sink<unsigned short> out(target, capacity);
    std::size_t i = 0;
    while (i < length) {
        std::size_t run = AsciiRun8(s + i, length - i, out.room());
        if (run != 0) {
            if (!out.counting()) {
                unsigned short* d = out.cursor();
                for (std::size_t k = 0; k < run; ++k) d[k] = s[i + k];
            }
            out.skip(run);
            i += run;
            continue;
        }
        unsigned char b = s[i];
        if (b < 0x80) {
            if (!out.put(b)) return kNoRoom;
            ++i;
            continue;
        }
        Lead lead = ClassifyLead(b);
        std::uint32_t cp = b & (0x3F >> lead.trail);
        std::size_t j = i + 1;
        unsigned got = 0;
        unsigned char low = lead.low, high = lead.high;
        while (got < lead.trail && j < length && s[j] >= low && s[j] <= high) {
            cp = (cp << 6) | (s[j] & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++j;
            ++got;
        }
        if (lead.trail == 0 || got < lead.trail) {
            // The bytes taken so far form one maximal invalid subsequence.
            if (failOnInvalid) return kInvalid;
            if (!out.put(kReplacement)) return kNoRoom;
        } else if (!PutCodePoint(out, cp)) {
            return kNoRoom;
        }
        i = j;
    }
    return out.size();
}

std::size_t Utf16ToUtf8(const unsigned short* s, std::size_t length, unsigned char* target,
                        std::size_t capacity, bool failOnInvalid) {
    Sink<unsigned char> out(target, capacity);
    std::size_t i = 0;
    while (i < length) {
        std::size_t run = AsciiRun16(s + i, length - i, out.room());
        if (run != 0) {
            if (!out.counting()) {
                unsigned char* d = out.cursor();
                for (std::size_t k = 0; k < run; ++k) d[k] = static_cast<unsigned char>(s[i + k]);
            }
            out.skip(run);
            i += run;
            continue;
        }
        std::uint32_t cp = s[i++];
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp <= 0xDBFF && i < length && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i++] - 0xDC00);
            } else {
                if (failOnInvalid) return kInvalid;
                cp = kReplacement;
            }
        }
        bool ok;
        if (cp < 0x80) {
            ok = out.put(cp);
        } else if (cp < 0x800) {
            ok = out.put(0xC0 | (cp >> 6)) && out.put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            ok = out.put(0xE0 | (cp >> 12)) && out.put(0x80 | ((cp >> 6) & 0x3F)) &&
                 out.put(0x80 | (cp & 0x3F));
        } else {
            ok = out.put(0xF0 | (cp >> 18)) && out.put(0x80 | ((cp >> 12) & 0x3F)) &&
                 out.put(0x80 | ((cp >> 6) & 0x3F)) && out.put(0x80 | (cp & 0x3F));
        }
        if (!ok) return kNoRoom;
    }
    return out.size();
}

}  // namespace tqplat::codepage
