#pragma once
// Shared helpers of the XML property tests.
#include <cstdint>
#include <vector>

#include "tqxml/xmlprop.h"
#include "xmlobj/xmlobj_test_support.h"

namespace xmlprop_test {

using namespace tqcore;
using xmlobj_test::AllocationFailure;
using xmlobj_test::AppendLE;
using xmlobj_test::Node;
using xmlobj_test::PS;
using xmlobj_test::ReportRecorder;
using xmlobj_test::Text;

inline constexpr GUID kGuidA{0xA1A2A3A4, 0xB1B2, 0xC1C2, {1, 2, 3, 4, 5, 6, 7, 8}};
inline constexpr GUID kGuidB{0x0B0B0B0B, 0x1111, 0x2222, {9, 8, 7, 6, 5, 4, 3, 2}};

// A property of `bytes`, tagged with a type that is not an XML property's.
inline CPProperty RawProperty(const std::vector<unsigned char>& bytes) {
    CPProperty prop;
    if (!bytes.empty() && prop.Alloc(bytes.size()))
        std::copy(bytes.begin(), bytes.end(),
                  static_cast<unsigned char*>(static_cast<void*>(prop)));
    prop.SetPropertyID(7, kGuidB);
    return prop;
}

inline std::vector<unsigned char> Payload(const CPProperty& prop) {
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(prop));
    return bytes ? std::vector<unsigned char>(bytes, bytes + prop.GetSize())
                 : std::vector<unsigned char>();
}

}  // namespace xmlprop_test
