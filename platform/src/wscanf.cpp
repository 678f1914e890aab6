// Wide scanf with the Windows conventions: %s and %[ store UTF-16 text, %hs
// ANSI bytes, %I64 a 64-bit integer, %l a 32-bit one. Integers wrap rather
// than saturate; doubles are read under the "C" locale ("." only).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classic_locale.h"
#include "codepage_internal.h"
#include "tqplatform/wformat.h"
#include "wformat_directive.h"

namespace tqplat {
namespace {

using wformat::ArgSize;
using wformat::IsDigit;
using wformat::IsSpace;

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

int DigitValue(unsigned short c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

bool IsHexDigit(unsigned short c) {
    return DigitValue(c) < 16;
}

bool IsAlnum(unsigned short c) {
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

bool EqualsFolded(unsigned short c, char lower) {
    return c == lower || c == lower - 'a' + 'A';
}

// Set of a %[...] conversion: members and ranges as the format lists them.
class ScanSet {
  public:
    // Reads the set after "[" and moves `f` past the closing "]"; false when
    // the format ends first.
    bool parse(const unsigned short*& f) {
        if (*f == '^') {
            negated_ = true;
            ++f;
        }
        begin_ = f;
        if (*f == ']') ++f;  // a leading ] is a member
        while (*f != 0 && *f != ']') ++f;
        if (*f == 0) return false;
        end_ = f++;
        return true;
    }
    bool contains(unsigned short c) const {
        for (const unsigned short* p = begin_; p < end_; ++p) {
            if (p[1] == '-' && p + 2 < end_) {  // a range; a reversed one counts as well
                unsigned short low = p[0] < p[2] ? p[0] : p[2];
                unsigned short high = p[0] < p[2] ? p[2] : p[0];
                if (c >= low && c <= high) return !negated_;
                p += 2;
            } else if (c == *p) {
                return !negated_;
            }
        }
        return negated_;
    }

  private:
    bool negated_ = false;
    const unsigned short* begin_ = nullptr;
    const unsigned short* end_ = nullptr;
};

enum class Step { Done, InputFailure, MatchFailure };

class Scanner {
  public:
    Scanner(const unsigned short* input, va_list* args) : in_(input), args_(args) {}

    int run(const unsigned short* f) {
        while (*f != 0) {
            if (IsSpace(*f)) {
                while (IsSpace(*f)) ++f;
                skipSpace();
                continue;
            }
            if (*f != '%') {
                if (in_[pos_] == 0) return inputFailure();
                if (in_[pos_] != *f) return assigned_;
                ++pos_;
                ++f;
                continue;
            }
            ++f;
            Step step = directive(f);
            if (step == Step::InputFailure) return inputFailure();
            if (step == Step::MatchFailure) return assigned_;
        }
        return assigned_;
    }

  private:
    int inputFailure() const { return converted_ ? assigned_ : -1; }

    void skipSpace() {
        while (IsSpace(in_[pos_])) ++pos_;
    }

    Step directive(const unsigned short*& f) {
        bool suppress = *f == '*';
        if (suppress) ++f;
        std::size_t width = 0;
        while (IsDigit(*f)) {
            width = width * 10 + (*f++ - '0');
            if (width > 0xFFFFFF) return Step::MatchFailure;
        }
        std::size_t limit = width == 0 ? kNoLimit : width;
        ArgSize size = wformat::ParseArgSize(f);
        unsigned short conversion = *f;
        if (conversion == 0) return Step::MatchFailure;
        ++f;

        if (conversion == 'n') {
            if (!suppress) storeInteger(size, pos_);
            return Step::Done;
        }
        if (conversion != 'c' && conversion != '[') skipSpace();
        if (in_[pos_] == 0) return Step::InputFailure;
        if (conversion == '%') {
            if (in_[pos_] != '%') return Step::MatchFailure;
            ++pos_;
            return Step::Done;
        }

        Step step = Step::MatchFailure;
        switch (conversion) {
            case 'd':
            case 'u':  // a sign is read for %u too; the value wraps
                step = integer(size, 10, suppress, limit);
                break;
            case 'i':
                step = integer(size, 0, suppress, limit);
                break;
            case 'o':
                step = integer(size, 8, suppress, limit);
                break;
            case 'x':
            case 'X':
                step = integer(size, 16, suppress, limit);
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                step = floating(size, suppress, limit);
                break;
            case 'c':
            case 'C':
                step = characters(size, conversion, suppress, width == 0 ? 1 : width);
                break;
            case 's':
            case 'S':
                step = span(size, conversion, suppress, limit,
                            [](unsigned short c) { return !IsSpace(c); });
                break;
            case '[': {
                ScanSet set;
                if (!set.parse(f)) return Step::MatchFailure;
                step = span(size, conversion, suppress, limit,
                            [&set](unsigned short c) { return set.contains(c); });
                break;
            }
            default:
                break;
        }
        if (step == Step::Done) {
            converted_ = true;
            if (!suppress) ++assigned_;
        }
        return step;
    }

    // Stores into the integer the size prefix names; the value is cut to its width.
    void storeInteger(ArgSize size, std::uint64_t value) {
        switch (size) {
            case ArgSize::Char:
                *va_arg(*args_, unsigned char*) = static_cast<unsigned char>(value);
                break;
            case ArgSize::Short:
                *va_arg(*args_, unsigned short*) = static_cast<unsigned short>(value);
                break;
            case ArgSize::Int64:
                *va_arg(*args_, std::uint64_t*) = value;
                break;
            default:
                *va_arg(*args_, std::uint32_t*) = static_cast<std::uint32_t>(value);
                break;
        }
    }

    // base 0 reads the prefix as %i does: 0x hexadecimal, 0 octal.
    Step integer(ArgSize size, unsigned base, bool suppress, std::size_t limit) {
        std::size_t p = pos_;
        std::size_t end = limit == kNoLimit ? kNoLimit : pos_ + limit;
        bool negative = false;
        if (p < end && (in_[p] == '+' || in_[p] == '-')) negative = in_[p++] == '-';
        bool leadingZero = false;
        if ((base == 16 || base == 0) && p < end && in_[p] == '0') {
            if (p + 1 < end && EqualsFolded(in_[p + 1], 'x')) {
                base = 16;
                leadingZero = true;
                p += 2;
            } else if (base == 0) {
                base = 8;
            }
        }
        if (base == 0) base = 10;
        std::uint64_t value = 0;
        std::size_t digits = 0;
        while (p < end && DigitValue(in_[p]) < static_cast<int>(base)) {
            value = value * base + static_cast<unsigned>(DigitValue(in_[p++]));
            ++digits;
        }
        if (digits == 0) {
            if (!leadingZero) return Step::MatchFailure;
            p -= 1;  // "0x" without digits is the number 0 followed by an x
        }
        pos_ = p;
        if (!suppress) storeInteger(size, negative ? 0 - value : value);
        return Step::Done;
    }

    // Longest prefix that reads as a number: decimal with an optional
    // exponent, hexadecimal with an optional binary exponent, inf[inity], nan[(...)].
    std::size_t numberLength(std::size_t limit) const {
        const unsigned short* s = in_ + pos_;
        std::size_t n = 0;
        auto at = [&](std::size_t i) -> unsigned short { return i < limit ? s[i] : 0; };
        auto word = [&](std::size_t from, const char* w) {
            std::size_t i = 0;
            for (; w[i] != 0; ++i) {
                if (!EqualsFolded(at(from + i), w[i])) return std::size_t{0};
            }
            return i;
        };
        if (at(n) == '+' || at(n) == '-') ++n;
        if (std::size_t w = word(n, "inf")) {
            std::size_t longer = word(n, "infinity");
            return n + (longer != 0 ? longer : w);
        }
        if (std::size_t w = word(n, "nan")) {
            n += w;
            if (at(n) == '(') {
                std::size_t close = n + 1;
                while (IsAlnum(at(close)) || at(close) == '_') ++close;
                if (at(close) == ')') n = close + 1;
            }
            return n;
        }
        bool hex = at(n) == '0' && EqualsFolded(at(n + 1), 'x');
        std::size_t start = n;
        if (hex) n += 2;
        auto isDigit = [&](unsigned short c) { return hex ? IsHexDigit(c) : IsDigit(c); };
        std::size_t mantissa = 0;
        while (isDigit(at(n))) ++n, ++mantissa;
        if (at(n) == '.') {
            std::size_t dot = n++;
            while (isDigit(at(n))) ++n, ++mantissa;
            if (mantissa == 0) n = dot;
        }
        if (mantissa == 0) return hex ? start + 1 : 0;  // "0x" alone reads as 0
        if (EqualsFolded(at(n), hex ? 'p' : 'e')) {
            std::size_t e = n + 1;
            if (at(e) == '+' || at(e) == '-') ++e;
            if (IsDigit(at(e))) {
                while (IsDigit(at(e))) ++e;
                n = e;
            }
        }
        return n;
    }

    Step floating(ArgSize size, bool suppress, std::size_t limit) {
        std::size_t n = numberLength(limit);
        if (n == 0) return Step::MatchFailure;
        std::string text(n, '\0');
        for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>(in_[pos_ + i]);
        const char* begin = text.c_str();
        char* end = nullptr;
        // Each width is parsed on its own: rounding twice could miss the nearest value.
        switch (size) {
            case ArgSize::Long: {
                double value = strtod_l(begin, &end, ClassicLocale());
                if (end != begin && !suppress) *va_arg(*args_, double*) = value;
                break;
            }
            case ArgSize::LongDouble: {
                long double value = strtold_l(begin, &end, ClassicLocale());
                if (end != begin && !suppress) *va_arg(*args_, long double*) = value;
                break;
            }
            default: {
                float value = strtof_l(begin, &end, ClassicLocale());
                if (end != begin && !suppress) *va_arg(*args_, float*) = value;
                break;
            }
        }
        if (end == begin) return Step::MatchFailure;
        pos_ += static_cast<std::size_t>(end - begin);
        return Step::Done;
    }

    static char narrowed(unsigned short unit) {
        int byte = codepage::UnitToCp1252(unit);
        return static_cast<char>(byte < 0 ? '?' : byte);
    }

    // Exactly `count` units, white space included, without a terminator.
    Step characters(ArgSize size, unsigned short conversion, bool suppress, std::size_t count) {
        std::size_t available = 0;
        while (available < count && in_[pos_ + available] != 0) ++available;
        if (available < count) return Step::InputFailure;
        if (!suppress) copyOut(size, conversion, count, false);
        pos_ += count;
        return Step::Done;
    }

    // A non-empty run of units that `accept`, stored with a terminator.
    template <typename Accept>
    Step span(ArgSize size, unsigned short conversion, bool suppress, std::size_t limit,
              Accept accept) {
        std::size_t n = 0;
        while (n < limit && in_[pos_ + n] != 0 && accept(in_[pos_ + n])) ++n;
        if (n == 0) return Step::MatchFailure;
        if (!suppress) copyOut(size, conversion, n, true);
        pos_ += n;
        return Step::Done;
    }

    void copyOut(ArgSize size, unsigned short conversion, std::size_t n, bool terminate) {
        const unsigned short* from = in_ + pos_;
        if (wformat::IsNarrowText(size, conversion)) {
            char* to = va_arg(*args_, char*);
            for (std::size_t i = 0; i < n; ++i) to[i] = narrowed(from[i]);
            if (terminate) to[n] = '\0';
        } else {
            unsigned short* to = va_arg(*args_, unsigned short*);
            for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
            if (terminate) to[n] = 0;
        }
    }

    const unsigned short* in_;
    std::size_t pos_ = 0;
    va_list* args_;
    int assigned_ = 0;
    bool converted_ = false;
};

}  // namespace

int _vswscanf_l(const unsigned short* input, const unsigned short* format, _locale_t,
                va_list args) {
    if (input == nullptr || format == nullptr) return -1;
    va_list copy;
    va_copy(copy, args);
    int result = Scanner(input, &copy).run(format);
    va_end(copy);
    return result;
}

int _swscanf_l(const unsigned short* input, const unsigned short* format, _locale_t locale, ...) {
    va_list args;
    va_start(args, locale);
    int result = _vswscanf_l(input, format, locale, args);
    va_end(args);
    return result;
}

}  // namespace tqplat
