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
    return root;
}

// A property with the sample tree, or none when that fails.
CPXMLProperty Sample(std::uint32_t dataParam = 0, const GUID* sub = nullptr) {
    CPXMLProperty prop;
    prop.SetPropertyID(5, SampleTree(), kGuidA, sub, 0x11223344, dataParam);
    return prop;
}

void PutGuid(std::vector<unsigned char>& out, const GUID& g) {
    for (auto [value, width] :
         {std::pair<std::uint32_t, int>{g.Data1, 4}, {g.Data2, 2}, {g.Data3, 2}})
        AppendLE(out, value, width);
    out.insert(out.end(), g.Data4, g.Data4 + 8);
}

TEST(XmlPropRecord, PayloadIsHeaderThenImageAndTheSignatureIsOfBothGuids) {
    const CPXMLProperty prop = Sample(0x55667788, &kGuidB);
    std::vector<unsigned char> expected;
    AppendLE(expected, 44, 4);
    PutGuid(expected, kGuidA);
    PutGuid(expected, kGuidB);
    AppendLE(expected, 0x11223344, 4);
    AppendLE(expected, 0x55667788, 4);
    CPMemory image;
    ASSERT_TRUE(CXMLObject::Store(image, SampleTree(), true));
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(image));
    expected.insert(expected.end(), bytes, bytes + image.GetSize());
    EXPECT_EQ(Payload(prop), expected);
    EXPECT_TRUE(prop.IsPropertyID(5, GUID_XMLPROPERTY));
    EXPECT_EQ(prop.GetPropertyData().GetContent(), SampleTree().GetContent());

    EXPECT_EQ(prop.GetSignature(), GetCRC32(&kGuidB, 16, GetCRC32(&kGuidA, 16, 0x9ced0d47)));
    EXPECT_EQ(Sample().GetSignature(), CPXMLProperty::GetSignature(kGuidA, GUID_NULL));
    EXPECT_EQ(CPXMLProperty().GetSignature(), 0u);
    GUID main = kGuidB, sub = kGuidB;
    EXPECT_TRUE(Sample().GetPropertyID(main, sub));
    EXPECT_EQ(main, kGuidA);
    EXPECT_EQ(sub, GUID_NULL);
    EXPECT_FALSE(CPXMLProperty().GetPropertyID(main, sub));
    EXPECT_EQ(main, GUID_NULL);
}

TEST(XmlPropRecord, AllocatorLeavesRoomForTheHeader) {
    CPropertyNewDelete alloc;
    EXPECT_EQ(alloc.New(0), nullptr);
    auto* image = static_cast<unsigned char*>(alloc.New(10));
    auto* payload = static_cast<unsigned char*>(static_cast<void*>(alloc.Property()));
    EXPECT_EQ(image - payload, 44);
    EXPECT_EQ(alloc.Property().GetSize(), 54u);
    alloc.Delete(payload);
    EXPECT_EQ(alloc.Property().GetSize(), 54u) << "only the image address frees";
    alloc.Delete(image);
    EXPECT_EQ(alloc.Property().GetSize(), 0u);
}

TEST(XmlPropRecord, ConversionKeepsOnlyXmlProperties) {
    const std::tuple<GUID, std::size_t, bool> cases[] = {
        {kGuidB, 100, false}, {GUID_XMLPROPERTY, 44, false}, {GUID_XMLPROPERTY, 45, true}};
    for (const auto& [type, bytes, kept] : cases) {
        CPProperty other = RawProperty(std::vector<unsigned char>(bytes, 0x5A));
        other.SetPropertyID(3, type);
        CPXMLProperty constructed(other), assigned = Sample();
        assigned = other;
        for (const CPXMLProperty* p : {&constructed, &assigned}) {
            EXPECT_EQ(static_cast<const tagXMLPROPERTY*>(*p) != nullptr, kept) << bytes;
            EXPECT_EQ(p->GetSize(), kept ? bytes : 0) << bytes;
        }
    }
    CPXMLProperty self = Sample();
    self = static_cast<const CPProperty&>(self);
    EXPECT_NE(self.operator->(), nullptr) << "self-assignment keeps the payload";
}

// Every refused call reports under its own text and leaves no payload.
TEST(XmlPropRecord, RefusedCallsReport) {
    const std::pair<bool (*)(CPXMLProperty&), const char*> cases[] = {
        {[](CPXMLProperty& p) { return p.SetPropertyID(1, CXMLObject(), kGuidA, nullptr, 0, 0); },
         "xmlPropertyData.IsDefault()"},
        {[](CPXMLProperty& p) {
             return p.SetPropertyID(1, SampleTree(), GUID_NULL, nullptr, 0, 0);
         },
         "guidMain == GUID_NULL"},
        {[](CPXMLProperty& p) {
             p.Free();
             return p.SetPropertyData(SampleTree(), 0);
         },
         "!pProp"},
        {[](CPXMLProperty& p) { return p.SetPropertyData(CXMLObject(), 0); },
         "xmlPropertyData.IsDefault()"},
    };
    for (const auto& [call, report] : cases) {
        CPXMLProperty prop = Sample();
        ReportRecorder recorder;
        EXPECT_FALSE(call(prop)) << report;
        ASSERT_EQ(recorder.reports().size(), 1u) << report;
        EXPECT_EQ(recorder.reports()[0].file, "xmlprop");
        EXPECT_EQ(recorder.reports()[0].title + "|" + recorder.reports()[0].expression,
                  std::string("Runtime exclusion failed|") + report);
        EXPECT_EQ(prop.GetSize(), 0u) << report;
    }
}

TEST(XmlPropRecord, SetPropertyDataKeepsTheRestOfTheHeaderOrAllOnFailure) {
    CPXMLProperty prop = Sample(88, &kGuidB);
    CPXMLProperty earlier = prop;
    CXMLObject other = Node(u"Other");
    other.Add(W(u"text"));
    ASSERT_TRUE(prop.SetPropertyData(other, 99));
    EXPECT_EQ(prop->dwXMLPropertySize, 44u);
    EXPECT_EQ(prop->guidSub, kGuidB);
    EXPECT_EQ(prop->dwIDParam, 0x11223344u);
    EXPECT_EQ(prop->dwDataParam, 99u);
    EXPECT_TRUE(prop.IsPropertyID(5, GUID_XMLPROPERTY));
    EXPECT_EQ(prop.GetPropertyData().GetContent(), other.GetContent());
    EXPECT_EQ(earlier->dwDataParam, 88u) << "a copy keeps the payload it shared";

    const std::vector<unsigned char> before = Payload(prop);
    const CXMLObject tree = SampleTree();
    {
        AllocationFailure failure(0);
        EXPECT_FALSE(prop.SetPropertyData(tree, 6));
        EXPECT_FALSE(Sample());
    }
    EXPECT_EQ(Payload(prop), before) << "a failed store leaves the property as it was";
}

TEST(XmlPropRecord, GetDataOfBadPayloads) {
    const std::vector<unsigned char> payload = Payload(Sample());
    std::vector<unsigned char> oversized = payload;
    oversized[0] = 0xFF;  // dwXMLPropertySize past the payload
    const std::tuple<const void*, std::uint64_t, const char*> cases[] = {
        {nullptr, 100, ""},
        {payload.data(), 43, "sData >= sizeof(XMLPROPERTY)"},
        {payload.data(), 44, ""},
        {payload.data(), payload.size() - 1, ""},  // image cut short
        {oversized.data(), oversized.size(), "sData >= (SIZE_T)pProp->dwXMLPropertySize"},
    };
    for (const auto& [data, size, report] : cases) {
        tagXMLPROPERTY header;
        std::memset(&header, 0xCC, sizeof header);
        ReportRecorder recorder;
        EXPECT_FALSE(CPXMLProperty::GetData(data, size, &header)) << size;
        tagXMLPROPERTY zero{};
        zero.dwXMLPropertySize = 44;
        EXPECT_EQ(std::memcmp(&header, &zero, sizeof header), 0) << size;
        ASSERT_EQ(recorder.reports().size(), *report ? 1u : 0u) << size;
        if (*report) {
            EXPECT_EQ(recorder.reports()[0].expression, report);
            EXPECT_EQ(recorder.reports()[0].title, "Runtime assumption failed");
        }
    }
    tagXMLPROPERTY header{};
    EXPECT_TRUE(CPXMLProperty::GetData(payload.data(), payload.size(), &header));
    EXPECT_EQ(std::memcmp(&header, payload.data(), 44), 0);
    EXPECT_TRUE(CPXMLProperty::GetData(payload.data(), payload.size(), nullptr));
}

}  // namespace
