#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(NameRule, WideNames) {
    struct Case {
        const char16_t* name;
        bool valid;
    };
    const Case cases[] = {
        {u"a", true},          {u"_a", true},         {u":x", true},        {u"a-b.c:d_e1", true},
        {u"x:y:z:", true},     {u"\u00E9t\u00E9", true}, {u"\u4E00", true},   {u"a\u00B7", true},
        {u"a\u0300", true},    {u"a\u0660", true},    {u"1a", false},       {u"-a", false},
        {u".a", false},        {u"\u00B7a", false},   {u"\u0300a", false},  {u"", false},
        {u"a b", false},       {u"a\xD800", false},   {u"\xDC00", false},   {u"a&b", false},
        {u"\u00D7", false},    {u"a\u00F7", false},
    };
    for (const Case& c : cases) EXPECT_EQ(CXMLObjectTestAccess::isValidName(W(c.name)), c.valid);
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const unsigned short*>(nullptr)));
}

TEST(NameRule, NarrowNamesRefuseHighBytes) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {{"abc", true}, {"_1", true}, {"1a", false}, {"\xE9", false},
                          {"a\xE9", false}, {"", false}, {"a.b-c", true}};
    for (const Case& c : cases) EXPECT_EQ(CXMLObjectTestAccess::isValidName(c.name), c.valid) << c.name;
    EXPECT_FALSE(CXMLObjectTestAccess::isValidName(static_cast<const char*>(nullptr)));
}

TEST(SetName, BindsTheHandleToANewEmptyNode) {
    CXMLObject a = Node(u"old");
    ASSERT_TRUE(a.Add(u"data"));
    CXMLObject b = a;
    ASSERT_TRUE(b.SetName(PS(u"fresh")));
    EXPECT_EQ(Text(b.GetName()), u"fresh");
    EXPECT_EQ(b.GetType(), CXML_TYPE_EMPTY);
    EXPECT_TRUE(b.IsNamedDefault());
    EXPECT_EQ(Text(a.GetName()), u"old");
    EXPECT_EQ(Text(a.GetData()), u"data");

    EXPECT_FALSE(b.SetName(PS(u"9lives")));
    EXPECT_EQ(Text(b.GetName()), u"fresh");
    EXPECT_FALSE(b.SetName(CPPoolString()));

    CXMLObject none;
    EXPECT_TRUE(none.SetName(PS(u"born")));
    EXPECT_EQ(Text(none.GetName()), u"born");
}

TEST(SetName, SetNameTypeIgnoresTheType) {
    CXMLObject n;
    ASSERT_TRUE(n.SetNameType(PS(u"n"), CXML_TYPE_ELEMENT));
    EXPECT_EQ(n.GetType(), CXML_TYPE_EMPTY);
    EXPECT_FALSE(n.SetNameType(PS(u"a b"), CXML_TYPE_ELEMENT));
}

TEST(Rename, ChangesTheSharedBody) {
    CXMLObject child = Node(u"child");
    CXMLObject p1 = Node(u"p1"), p2 = Node(u"p2");
    ASSERT_TRUE(p1.Add(child));
    ASSERT_TRUE(p2.Add(child));
    ASSERT_TRUE(p1.item(0u)->Rename(PS(u"renamed")));
    EXPECT_EQ(Text(p2.item(0u)->GetName()), u"renamed");
    EXPECT_EQ(Text(child.GetName()), u"renamed");

    EXPECT_FALSE(child.Rename(PS(u"0bad")));
    EXPECT_EQ(Text(child.GetName()), u"renamed");
    EXPECT_FALSE(CXMLObject().Rename(PS(u"ok")));
}

}  // namespace
