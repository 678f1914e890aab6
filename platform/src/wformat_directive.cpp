#include "wformat_directive.h"

namespace tqplat::wformat {

ArgSize ParseArgSize(const unsigned short*& f) {
    switch (f[0]) {
        case 'h':
            if (f[1] == 'h') {
                f += 2;
                return ArgSize::Char;
            }
            ++f;
            return ArgSize::Short;
        case 'l':
            if (f[1] == 'l') {
                f += 2;
                return ArgSize::Int64;
            }
            ++f;
            return ArgSize::Long;
        case 'L':
            ++f;
            return ArgSize::LongDouble;
        case 'w':
            ++f;
            return ArgSize::Wide;
        case 'z':
        case 't':
        case 'j':
            ++f;
            return ArgSize::Int64;
        case 'I':
            if (f[1] == '6' && f[2] == '4') {
                f += 3;
                return ArgSize::Int64;
            }
            if (f[1] == '3' && f[2] == '2') {
                f += 3;
                return ArgSize::Long;
            }
            ++f;
            return ArgSize::Int64;
        default:
            return ArgSize::Default;
    }
}

}  // namespace tqplat::wformat
