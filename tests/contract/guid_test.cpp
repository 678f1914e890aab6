#include "tqcore/guid.h"

#include <gtest/gtest.h>

#include "contract_test_support.h"

namespace {

using tqcore::CGUID;
using tqcore::GUID;
using tqcore::GUID_NULL;
using tqtest::U16;
using tqtest::W;

const GUID kSample = {0x071FABDD, 0x3A1C, 0x49A3, {0x9D, 0x6C, 0xB9, 0xD4, 0x1B, 0x33, 0x92, 0x77}};

TEST(CGuid, TextIsBracedUpperCaseRoundTripsAndParsesEitherCase) {
    EXPECT_EQ(U16(CGUID(kSample).GetString()), u"{071FABDD-3A1C-49A3-9D6C-B9D41B339277}");
    const GUID distinctBytes = {
        0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
    for (const GUID& g : {kSample, distinctBytes, GUID_NULL}) {
        CGUID back;
        back = CGUID(g).GetString();
        EXPECT_EQ(back, g);
    }
    for (const char16_t* text :
         {u"{071fabdd-3a1c-49a3-9d6c-b9d41b339277}", u"071fabdd-3A1C-49a3-9D6c-b9d41B339277"}) {
        CGUID g;
        g = text;
        EXPECT_EQ(g, kSample) << U16(W(text)).size();
    }
}

TEST(CGuid, MalformedTextGivesNullAndParseLeavesTheTargetAlone) {
    const char16_t* bad[] = {
        u"",
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B339277",    // no closing brace
        u"071FABDD-3A1C-49A3-9D6C-B9D41B339277}",    // no opening brace
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B33927}",    // a digit short
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B3392770}",  // a digit long
        u"{071FABDD-3A1C-49A3-9D6CB-9D41B339277}",   // dash in the wrong place
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B33927G}",   // not a hex digit
        u"{071FABDD-3A1C-49A3-9D6C-B9D41B339277}x",  // trailing text
    };
    for (const char16_t* text : bad) {
        CGUID g(kSample);
        g = text;
        EXPECT_EQ(g, GUID_NULL) << U16(W(text)).size();
        GUID out = kSample;
        EXPECT_FALSE(CGUID::Parse(W(text), out));
        EXPECT_EQ(out, kSample);
    }
    CGUID g(kSample);
    g = static_cast<const unsigned short*>(nullptr);
    EXPECT_EQ(g, GUID_NULL);
}

}  // namespace
