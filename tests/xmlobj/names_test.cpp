#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(NameRule, WideAndNarrowNames) {
    struct Case {
        const char16_t* name;
        bool valid;
    };
    const Case wide[] = {
        {u"a", true},          {u"_a", true},       {u":x", true},
        {u"a-b.c:d_e1", true}, {u"x:y:z:", true},   {u"\u00E9t\u00E9", true},
        {u"\u4E00", true},     {u"a\u00B7", true},  {u"a\u0300", true},
        {u"a\u0660", true},    {u"1a", false},      {u"-a", false},
        {u".a", false},        {u"\u00B7a", false}, {u"\u0300a", false},
        {u"", false},          {u"a b", false},     {u"a\xD800", false},
        {u"\xDC00", false},    {u"a&b", false},     {u"\u00D7", false},
        {u"a\u00F7", false},
    };
    for (const Case& c : wide) EXPECT_EQ(CXMLObjectTestAccess::isValidName(W(c.name)), c.valid);
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const unsigned short*>(nullptr)));

    // Narrow names refuse bytes above 0x7F.
    const std::pair<const char*, bool> narrow[] = {{"a.b-c", true}, {"_1", true},     {"1a", false},
                                                   {"\xE9", false}, {"a\xE9", false}, {"", false}};
    for (const auto& [name, valid] : narrow)
        EXPECT_EQ(CXMLObjectTestAccess::isValidName(name), valid) << name;
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const char*>(nullptr)));
}

TEST(SetName, BindsTheHandleToANewEmptyNodeAndRenameChecksTheName) {
    CXMLObject a = Node(u"old");
    ASSERT_TRUE(a.Add(u"data"));
    CXMLObject b = a;
    ASSERT_TRUE(b.SetNameType(PS(u"fresh"), CXML_TYPE_ELEMENT));  // the type is ignored
    EXPECT_EQ(Text(b.GetName()), u"fresh");
    EXPECT_EQ(b.GetType(), CXML_TYPE_EMPTY);
    EXPECT_TRUE(b.IsNamedDefault());
    EXPECT_EQ(Text(a.GetName()), u"old");
    EXPECT_EQ(Text(a.GetData()), u"data");

    EXPECT_FALSE(b.SetName(PS(u"9lives")));
    EXPECT_FALSE(b.SetNameType(PS(u"a b"), CXML_TYPE_ELEMENT));
    EXPECT_EQ(Text(b.GetName()), u"fresh");
    EXPECT_FALSE(b.SetName(CPPoolString()));
    EXPECT_FALSE(b.Rename(PS(u"0bad")));
    EXPECT_EQ(Text(b.GetName()), u"fresh");

    CXMLObject none;
    EXPECT_TRUE(none.SetName(PS(u"born")));
    EXPECT_EQ(Text(none.GetName()), u"born");
}

}  // namespace
