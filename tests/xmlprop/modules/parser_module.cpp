// Forty distinct cache parsers that live in this module. Each appends its
// number to dwDataParam in base 100, so a header shows who ran in which order.
#include <utility>

#include "tqxml/xmlprop.h"

namespace {

constexpr unsigned int kParsers = 40;

template <unsigned int N>
void NumberedParser(tqcore::tagXMLPROPERTY& header, const tqcore::CXMLObject&) {
    header.dwDataParam = header.dwDataParam * 100 + N;
}

template <unsigned int... N>
constexpr tqcore::XMLCACHEPARSER kTable[] = {&NumberedParser<N + 1>...};

template <unsigned int... N>
tqcore::XMLCACHEPARSER Pick(unsigned int index, std::integer_sequence<unsigned int, N...>) {
    return index < sizeof...(N) ? kTable<N...>[index] : nullptr;
}

}  // namespace

// Parser number index + 1, or null past the last.
extern "C" __attribute__((visibility("default"))) tqcore::XMLCACHEPARSER xmlprop_test_parser(
    unsigned int index) {
    return Pick(index, std::make_integer_sequence<unsigned int, kParsers>());
}
