// The XML property record: header bytes, signatures, conversions, storing
// and reading back a tree, and the reports of refused calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tqcore/algo.h"
#include "tqcore/memory.h"
#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

CXMLObject SampleTree() {
    CXMLObject root = Node(u"Settings");
    root.AddAttribute(PS(u"version"), PS(u"2"));
    CXMLObject child = Node(u"Name");
    child.Add(W(u"caf\u00e9 & more"));
    root.Add(child);
    root.Add(Node(u"Empty"));
    return root;
}

std::vector<unsigned char> ImageOf(const CXMLObject& tree) {
    CPMemory image;
    if (!CXMLObject::Store(image, tree, true)) return {};
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(image));
    return std::vector<unsigned char>(bytes, bytes + image.GetSize());
}

void PutLE(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutGuid(std::vector<unsigned char>& out, const GUID& g) {
    PutLE(out, g.Data1, 4);
    PutLE(out, g.Data2, 2);
    PutLE(out, g.Data3, 2);
    out.insert(out.end(), g.Data4, g.Data4 + 8);
}

TEST(XmlPropRecordTest, PayloadIsHeaderThenImage) {
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(5, SampleTree(), kGuidA, &kGuidB, 0x11223344, 0x55667788));
    std::vector<unsigned char> expected;
    PutLE(expected, 44, 4);
    PutGuid(expected, kGuidA);
    PutGuid(expected, kGuidB);
    PutLE(expected, 0x11223344, 4);
    PutLE(expected, 0x55667788, 4);
    const std::vector<unsigned char> image = ImageOf(SampleTree());
    ASSERT_FALSE(image.empty());
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_EQ(Payload(prop), expected);
    EXPECT_TRUE(prop.IsPropertyID(5, GUID_XMLPROPERTY));
    EXPECT_EQ(prop->dwDataParam, 0x55667788u);
    EXPECT_EQ(Text(prop.GetPropertyData().GetContent()), Text(SampleTree().GetContent()));
}

TEST(XmlPropRecordTest, AllocatorLeavesRoomForTheHeader) {
    CPropertyNewDelete alloc;
    EXPECT_EQ(alloc.New(0), nullptr);
    auto* image = static_cast<unsigned char*>(alloc.New(10));
    ASSERT_NE(image, nullptr);
    auto* payload = static_cast<unsigned char*>(static_cast<void*>(alloc.Property()));
    EXPECT_EQ(image - payload, 44);
    EXPECT_EQ(alloc.Property().GetSize(), 54u);
    int elsewhere = 0;
    alloc.Delete(&elsewhere);
    alloc.Delete(payload);
    EXPECT_EQ(alloc.Property().GetSize(), 54u) << "only the image address frees";
    alloc.Delete(image);
    EXPECT_EQ(alloc.Property().GetSize(), 0u);
}

TEST(XmlPropRecordTest, SignatureOfTheTwoGuids) {
    CPXMLProperty both, mainOnly, empty;
    ASSERT_TRUE(both.SetPropertyID(1, SampleTree(), kGuidA, &kGuidB, 0, 0));
    ASSERT_TRUE(mainOnly.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
    EXPECT_EQ(both.GetSignature(), CPXMLProperty::GetSignature(kGuidA, kGuidB));
    EXPECT_EQ(both.GetSignature(), GetCRC32(&kGuidB, 16, GetCRC32(&kGuidA, 16, 0x9ced0d47)));
    EXPECT_EQ(mainOnly.GetSignature(), CPXMLProperty::GetSignature(kGuidA, GUID_NULL));
    EXPECT_NE(CPXMLProperty::GetSignature(kGuidA, kGuidB),
              CPXMLProperty::GetSignature(kGuidB, kGuidA));
    EXPECT_EQ(empty.GetSignature(), 0u);

    GUID main{}, sub{};
    EXPECT_TRUE(mainOnly.GetPropertyID(main, sub));
    EXPECT_EQ(main, kGuidA);
    EXPECT_EQ(sub, GUID_NULL);
    main = kGuidB;
    EXPECT_FALSE(empty.GetPropertyID(main, sub));
    EXPECT_EQ(main, GUID_NULL);
}

TEST(XmlPropRecordTest, ConversionKeepsOnlyXmlProperties) {
    struct Case {
        const char* what;
        GUID type;
        std::size_t bytes;
        bool kept;
    };
    const Case cases[] = {
        {"other type GUID", kGuidB, 100, false},
        {"header only", GUID_XMLPROPERTY, 44, false},
        {"shorter than a header", GUID_XMLPROPERTY, 10, false},
        {"no payload", GUID_XMLPROPERTY, 0, false},
        {"one byte of image", GUID_XMLPROPERTY, 45, true},
    };
    for (const Case& c : cases) {
        CPProperty other = RawProperty(std::vector<unsigned char>(c.bytes, 0x5A));
        other.SetPropertyID(3, c.type);
        CPXMLProperty constructed(other);
        CPXMLProperty assigned;
        ASSERT_TRUE(assigned.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
        assigned = other;
        for (const CPXMLProperty* p : {&constructed, &assigned}) {
            EXPECT_EQ(static_cast<const tagXMLPROPERTY*>(*p) != nullptr, c.kept) << c.what;
            EXPECT_EQ(p->GetSize(), c.kept ? c.bytes : 0) << c.what;
        }
    }
    CPXMLProperty self;
    ASSERT_TRUE(self.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
    self = static_cast<const CPProperty&>(self);
    EXPECT_NE(self.operator->(), nullptr) << "self-assignment keeps the payload";
}

// Every refused call reports under its own text and leaves the property
// as stated.
TEST(XmlPropRecordTest, RefusedCallsReport) {
    struct Case {
        const char* what;
        bool (*call)(CPXMLProperty&);
        bool startsFull;
        std::vector<std::string> reports;  // "title|text"
        bool endsFull;
    };
    const Case cases[] = {
        {"empty tree",
         [](CPXMLProperty& p) { return p.SetPropertyID(1, CXMLObject(), kGuidA, nullptr, 0, 0); },
         true,
         {"Runtime exclusion failed|xmlPropertyData.IsDefault()"},
         false},
        {"null main GUID",
         [](CPXMLProperty& p) {
             return p.SetPropertyID(1, SampleTree(), GUID_NULL, nullptr, 0, 0);
         },
         true,
         {"Runtime exclusion failed|guidMain == GUID_NULL"},
         false},
        {"data into an empty property",
         [](CPXMLProperty& p) { return p.SetPropertyData(SampleTree(), 0); },
         false,
         {"Runtime exclusion failed|!pProp"},
         false},
        {"empty tree as data",
         [](CPXMLProperty& p) { return p.SetPropertyData(CXMLObject(), 0); },
         true,
         {"Runtime exclusion failed|xmlPropertyData.IsDefault()"},
         false},
    };
    for (const Case& c : cases) {
        CPXMLProperty prop;
        if (c.startsFull) {
            ASSERT_TRUE(prop.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
        }
        ReportRecorder recorder;
        EXPECT_FALSE(c.call(prop)) << c.what;
        std::vector<std::string> seen;
        for (const auto& r : recorder.reports()) {
            EXPECT_EQ(r.file, "xmlprop") << c.what;
            seen.push_back(r.title + "|" + r.expression);
        }
        EXPECT_EQ(seen, c.reports) << c.what;
        EXPECT_EQ(prop.GetSize() != 0, c.endsFull) << c.what;
    }
}

TEST(XmlPropRecordTest, SetPropertyDataKeepsTheRestOfTheHeader) {
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(9, SampleTree(), kGuidA, &kGuidB, 77, 88));
    CPXMLProperty earlier = prop;
    CXMLObject other = Node(u"Other");
    other.Add(W(u"text"));
    ASSERT_TRUE(prop.SetPropertyData(other, 99));
    EXPECT_EQ(prop->dwXMLPropertySize, 44u);
    EXPECT_EQ(prop->guidMain, kGuidA);
    EXPECT_EQ(prop->guidSub, kGuidB);
    EXPECT_EQ(prop->dwIDParam, 77u);
    EXPECT_EQ(prop->dwDataParam, 99u);
    EXPECT_TRUE(prop.IsPropertyID(9, GUID_XMLPROPERTY));
    EXPECT_EQ(Text(prop.GetPropertyData().GetContent()), Text(other.GetContent()));
    EXPECT_EQ(earlier->dwDataParam, 88u) << "a copy keeps the payload it shared";
}

TEST(XmlPropRecordTest, OutOfMemoryIsAResult) {
    CPXMLProperty prop;
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(prop.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
    }
    EXPECT_EQ(prop.GetSize(), 0u);
    ASSERT_TRUE(prop.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 5));
    const std::vector<unsigned char> before = Payload(prop);
    const CXMLObject other = Node(u"Other");
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(prop.SetPropertyData(other, 6));
    }
    EXPECT_EQ(Payload(prop), before) << "a failed store leaves the property as it was";
}

TEST(XmlPropRecordTest, GetDataOfBadPayloads) {
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, SampleTree(), kGuidA, nullptr, 0, 0));
    std::vector<unsigned char> payload = Payload(prop);
    std::vector<unsigned char> oversized = payload;
    oversized[0] = 0xFF;  // dwXMLPropertySize past the payload
    struct Case {
        const char* what;
        const void* data;
        std::uint64_t size;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {"null", nullptr, 100, {}},
        {"null and short", nullptr, 0, {"sData >= sizeof(XMLPROPERTY)"}},
        {"shorter than a header", payload.data(), 43, {"sData >= sizeof(XMLPROPERTY)"}},
        {"header only", payload.data(), 44, {}},
        {"image cut short", payload.data(), payload.size() - 1, {}},
        {"header larger than the payload",
         oversized.data(),
         oversized.size(),
         {"sData >= (SIZE_T)pProp->dwXMLPropertySize"}},
    };
    for (const Case& c : cases) {
        tagXMLPROPERTY header;
        std::memset(&header, 0xCC, sizeof header);
        ReportRecorder recorder;
        EXPECT_FALSE(CPXMLProperty::GetData(c.data, c.size, &header)) << c.what;
        tagXMLPROPERTY zero{};
        zero.dwXMLPropertySize = 44;
        EXPECT_EQ(std::memcmp(&header, &zero, sizeof header), 0) << c.what;
        std::vector<std::string> seen;
        for (const auto& r : recorder.reports()) {
            EXPECT_EQ(r.title, "Runtime assumption failed") << c.what;
            seen.push_back(r.expression);
        }
        EXPECT_EQ(seen, c.reports) << c.what;
    }
    tagXMLPROPERTY header{};
    EXPECT_TRUE(CPXMLProperty::GetData(payload.data(), payload.size(), &header));
    EXPECT_EQ(std::memcmp(&header, payload.data(), 44), 0);
    EXPECT_TRUE(CPXMLProperty::GetData(payload.data(), payload.size(), nullptr));
}

}  // namespace
