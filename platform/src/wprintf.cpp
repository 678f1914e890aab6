// Wide printf with the Windows conventions: %s takes UTF-16 text, %hs narrow
// (ANSI) text, %I64 a 64-bit integer, %p sixteen upper-case digits, and
// non-finite values print as inf, nan, nan(ind) and nan(snan). Numbers are
// formatted under the "C" locale whatever the process locale.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "classic_locale.h"
#include "codepage_internal.h"
#include "tqplatform/wformat.h"
#include "wformat_directive.h"

namespace tqplat {
namespace {

using wformat::ArgSize;

// Widths and precisions beyond this are taken as a broken format, so that no
// directive can ask for an unbounded amount of memory.
constexpr long long kMaxField = 1000000;

// Collects the text and keeps counting past the end of the buffer, so that
// the caller learns the full length.
class Output {
  public:
    Output(unsigned short* buffer, std::size_t count) : buffer_(buffer), count_(count) {}
    void put(unsigned short unit) {
        if (size_ < count_) buffer_[size_] = unit;
        ++size_;
    }
    void fill(unsigned short unit, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) put(unit);
    }
    void ascii(const char* text, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) put(static_cast<unsigned char>(text[i]));
    }
    std::size_t size() const { return size_; }

  private:
    unsigned short* buffer_;
    std::size_t count_;
    std::size_t size_ = 0;
};

struct Directive {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    std::size_t width = 0;
    int precision = -1;  // none
    ArgSize size = ArgSize::Default;
    unsigned short conversion = 0;
};

// Sets the flag that `c` names; false when `c` is no flag.
bool SetFlag(Directive& d, unsigned short c) {
    switch (c) {
        case '-':
            d.left = true;
            return true;
        case '+':
            d.plus = true;
            return true;
        case ' ':
            d.space = true;
            return true;
        case '#':
            d.alt = true;
            return true;
        case '0':
            d.zero = true;
            return true;
        default:
            return false;
    }
}

// Reads a decimal field; false when it is out of range.
bool ReadField(const unsigned short*& f, long long& value) {
    value = 0;
    while (wformat::IsDigit(*f)) {
        value = value * 10 + (*f++ - '0');
        if (value > kMaxField) return false;
    }
    return true;
}

class Formatter {
  public:
    Formatter(Output& out, va_list* args) : out_(out), args_(args) {}

    // False for a format this layer does not accept.
    bool run(const unsigned short* f) {
        while (*f != 0) {
            if (*f != '%') {
                out_.put(*f++);
                continue;
            }
            ++f;
            Directive d;
            if (!parse(f, d) || !convert(d)) return false;
        }
        return true;
    }

  private:
    bool parse(const unsigned short*& f, Directive& d) {
        while (SetFlag(d, *f)) ++f;
        long long width = 0;
        if (*f == '*') {
            ++f;
            width = va_arg(*args_, int);
            if (width < 0) {
                d.left = true;
                width = -width;
            }
            if (width > kMaxField) return false;
        } else if (!ReadField(f, width)) {
            return false;
        }
        d.width = static_cast<std::size_t>(width);
        if (*f == '.') {
            ++f;
            long long precision = 0;
            if (*f == '*') {
                ++f;
                precision = va_arg(*args_, int);
                if (precision < 0) precision = -1;  // as if omitted
                if (precision > kMaxField) return false;
            } else if (!ReadField(f, precision)) {
                return false;
            }
            d.precision = static_cast<int>(precision);
        }
        d.size = wformat::ParseArgSize(f);
        d.conversion = *f;
        if (d.conversion == 0) return false;
        ++f;
        return true;
    }

    bool convert(const Directive& d) {
        switch (d.conversion) {
            case 'd':
            case 'i': {
                std::int64_t v = signedArg(d.size);
                std::uint64_t magnitude =
                    v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
                integer(d, magnitude, v < 0, 10, true);
                return true;
            }
            case 'u':
                integer(d, unsignedArg(d.size), false, 10, false);
                return true;
            case 'o':
                integer(d, unsignedArg(d.size), false, 8, false);
                return true;
            case 'x':
            case 'X':
                integer(d, unsignedArg(d.size), false, 16, false);
                return true;
            case 'p':
                pointer(d);
                return true;
            case 'c':
            case 'C':
                character(d);
                return true;
            case 's':
            case 'S':
                string(d);
                return true;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
                return floating(d);
            case '%':
                out_.put('%');
                return true;
            default:  // %n is refused as the runtime refuses it; %a is not offered
                return false;
        }
    }

    // Pads `length` units of text written by `emit` to the field width.
    template <typename Emit>
    void field(const Directive& d, std::size_t length, Emit emit) {
        std::size_t padding = d.width > length ? d.width - length : 0;
        if (!d.left) out_.fill(' ', padding);
        emit();
        if (d.left) out_.fill(' ', padding);
    }

    std::int64_t signedArg(ArgSize size) {
        switch (size) {
            case ArgSize::Char:
                return static_cast<signed char>(va_arg(*args_, int));
            case ArgSize::Short:
                return static_cast<short>(va_arg(*args_, int));
            case ArgSize::Int64:
                return va_arg(*args_, long long);
            default:
                return va_arg(*args_, int);
        }
    }

    std::uint64_t unsignedArg(ArgSize size) {
        switch (size) {
            case ArgSize::Char:
                return static_cast<unsigned char>(va_arg(*args_, unsigned));
            case ArgSize::Short:
                return static_cast<unsigned short>(va_arg(*args_, unsigned));
            case ArgSize::Int64:
                return va_arg(*args_, unsigned long long);
            default:
                return va_arg(*args_, unsigned);
        }
    }

    void integer(const Directive& d, std::uint64_t magnitude, bool negative, unsigned base,
                 bool isSigned) {
        const char* set =
            d.conversion == 'X' || d.conversion == 'p' ? "0123456789ABCDEF" : "0123456789abcdef";
        char digits[24];
        std::size_t count = 0;
        for (std::uint64_t v = magnitude; v != 0; v /= base) digits[count++] = set[v % base];

        std::size_t zeros = 0;
        if (d.precision < 0) {
            if (count == 0) zeros = 1;  // a plain 0; an explicit precision of 0 prints nothing
        } else if (static_cast<std::size_t>(d.precision) > count) {
            zeros = static_cast<std::size_t>(d.precision) - count;
        }
        char prefix[2];
        std::size_t prefixLength = 0;
        if (negative)
            prefix[prefixLength++] = '-';
        else if (isSigned && d.plus)
            prefix[prefixLength++] = '+';
        else if (isSigned && d.space)
            prefix[prefixLength++] = ' ';
        if (d.alt && base == 16 && magnitude != 0) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = d.conversion == 'X' ? 'X' : 'x';
        }
        if (d.alt && base == 8 && zeros == 0) zeros = 1;  // the leading digit is never 0 here

        std::size_t length = prefixLength + zeros + count;
        if (d.zero && !d.left && d.precision < 0 && d.width > length) {
            zeros += d.width - length;
            length = d.width;
        }
        field(d, length, [&] {
            out_.ascii(prefix, prefixLength);
            out_.fill('0', zeros);
            while (count != 0) out_.put(static_cast<unsigned char>(digits[--count]));
        });
    }

    void pointer(const Directive& d) {
        Directive hex;
        hex.conversion = 'p';
        hex.precision = 16;
        hex.width = d.width;
        hex.left = d.left;
        auto value = reinterpret_cast<std::uintptr_t>(va_arg(*args_, void*));
        integer(hex, value, false, 16, false);
    }

    // %c and %lc take a UTF-16 unit, %hc and %C an ANSI byte.
    void character(const Directive& d) {
        int value = va_arg(*args_, int);
        unsigned short unit = wformat::IsNarrowText(d.size, d.conversion)
                                  ? codepage::Cp1252ToUnit(static_cast<unsigned char>(value))
                                  : static_cast<unsigned short>(value);
        field(d, 1, [&] { out_.put(unit); });
    }

    template <typename Char, typename ToUnit>
    void text(const Directive& d, const Char* s, ToUnit toUnit) {
        std::size_t limit =
            d.precision < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(d.precision);
        std::size_t n = 0;
        while (n < limit && s[n] != 0) ++n;  // never reads past the precision
        field(d, n, [&] {
            for (std::size_t i = 0; i < n; ++i) out_.put(toUnit(s[i]));
        });
    }

    void string(const Directive& d) {
        static const char kNull[] = "(null)";
        auto widen = [](char c) { return codepage::Cp1252ToUnit(static_cast<unsigned char>(c)); };
        if (wformat::IsNarrowText(d.size, d.conversion)) {
            const char* s = va_arg(*args_, const char*);
            text(d, s != nullptr ? s : kNull, widen);
            return;
        }
        const unsigned short* s = va_arg(*args_, const unsigned short*);
        if (s == nullptr) {
            text(d, kNull, widen);
        } else {
            text(d, s, [](unsigned short u) { return u; });
        }
    }

    bool floating(const Directive& d) {
        // The bits are taken before any widening, which would quieten a signalling NaN.
        long double value;
        double bitsOf;
        if (d.size == ArgSize::LongDouble) {
            value = va_arg(*args_, long double);
            bitsOf = static_cast<double>(value);
        } else {
            bitsOf = va_arg(*args_, double);
            value = bitsOf;
        }
        if (!std::isfinite(bitsOf)) {
            nonFinite(d, bitsOf);
            return true;
        }
        char narrowFormat[16];
        std::size_t n = 0;
        narrowFormat[n++] = '%';
        if (d.left) narrowFormat[n++] = '-';
        if (d.plus) narrowFormat[n++] = '+';
        if (d.space) narrowFormat[n++] = ' ';
        if (d.alt) narrowFormat[n++] = '#';
        if (d.zero) narrowFormat[n++] = '0';
        std::memcpy(narrowFormat + n, "*.*L", 4);
        n += 4;
        narrowFormat[n++] = static_cast<char>(d.conversion);
        narrowFormat[n] = '\0';

        const int width = static_cast<int>(d.width);
        locale_t previous = uselocale(ClassicLocale());
        char small[512];
        int length = std::snprintf(small, sizeof small, narrowFormat, width, d.precision, value);
        std::vector<char> large;
        if (length >= static_cast<int>(sizeof small)) {
            large.resize(static_cast<std::size_t>(length) + 1);
            std::snprintf(large.data(), large.size(), narrowFormat, width, d.precision, value);
        }
        uselocale(previous);
        if (length < 0) return false;
        out_.ascii(large.empty() ? small : large.data(), static_cast<std::size_t>(length));
        return true;
    }

    // inf, nan, nan(ind) for the indefinite value (negative, no payload) and
    // nan(snan) for a signalling one; upper case for F, E and G.
    void nonFinite(const Directive& d, double value) {
        char body[16];
        std::size_t n = 0;
        bool negative = std::signbit(value);
        if (negative)
            body[n++] = '-';
        else if (d.plus)
            body[n++] = '+';
        else if (d.space)
            body[n++] = ' ';
        const char* word = "inf";
        if (std::isnan(value)) {
            std::uint64_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            const std::uint64_t quiet = std::uint64_t{1} << 51;
            if ((bits & quiet) == 0)
                word = "nan(snan)";
            else if (negative && (bits & (quiet - 1)) == 0)
                word = "nan(ind)";
            else
                word = "nan";
        }
        bool upper = d.conversion == 'F' || d.conversion == 'E' || d.conversion == 'G';
        for (const char* w = word; *w != 0; ++w) {
            body[n++] = upper && *w >= 'a' && *w <= 'z' ? static_cast<char>(*w - 'a' + 'A') : *w;
        }
        field(d, n, [&] { out_.ascii(body, n); });
    }

    Output& out_;
    va_list* args_;
};

}  // namespace

int _vsnwprintf_l(unsigned short* buffer, std::size_t count, const unsigned short* format,
                  _locale_t, va_list args) {
    if (format == nullptr || (buffer == nullptr && count != 0)) return -1;
    Output out(buffer, count);
    va_list copy;
    va_copy(copy, args);
    bool ok = Formatter(out, &copy).run(format);
    va_end(copy);
    std::size_t length = out.size();
    if (!ok || length > static_cast<std::size_t>(INT_MAX)) {
        if (count != 0) buffer[0] = 0;
        return -1;
    }
    if (length < count) {
        buffer[length] = 0;
        return static_cast<int>(length);
    }
    if (length == count || buffer == nullptr) return static_cast<int>(length);
    return -1;
}

int _snwprintf_l(unsigned short* buffer, std::size_t count, const unsigned short* format,
                 _locale_t locale, ...) {
    va_list args;
    va_start(args, locale);
    int result = _vsnwprintf_l(buffer, count, format, locale, args);
    va_end(args);
    return result;
}

}  // namespace tqplat
