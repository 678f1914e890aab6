#pragma once
// What the serialiser needs to know of a character, by table: it is asked
// for every character of every text written.
namespace tqcore::outchars {

enum : unsigned char {
    kPlain = 0,
    kSpace = 1,   // the space character
    kBreak = 2,   // TAB, LF or CR: white space that never survives as data
    kMarkup = 3,  // one of & < > " '
};

// Every character that is not plain lies below 0x40.
constexpr unsigned int kTableSize = 0x40;

struct ClassTable {
    unsigned char cls[kTableSize];
    constexpr ClassTable() : cls{} {
        cls[' '] = kSpace;
        cls['\t'] = cls['\n'] = cls['\r'] = kBreak;
        cls['&'] = cls['<'] = cls['>'] = cls['"'] = cls['\''] = kMarkup;
    }
};
inline constexpr ClassTable kClasses;

inline unsigned char Classify(unsigned short c) {
    return c < kTableSize ? kClasses.cls[c] : static_cast<unsigned char>(kPlain);
}

}  // namespace tqcore::outchars
