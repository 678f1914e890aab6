#pragma once
// Shared helpers of the output tests: a sink that keeps its text in a
// string, trees and files.
#include <cstdint>
#include <string>
#include <vector>

#include "support/capture.h"
#include "support/corpus_list.h"
#include "support/temp_dir.h"
#include "tqxml/xmlout.h"
#include "xmlobj/xmlobj_test_support.h"

namespace xmlout_test {

using namespace tqcore;
using tqtest::Capture;
using tqtest::Exists;
using tqtest::TempDir;
using tqtest::Wide;
using xmlobj_test::DataNode;
using xmlobj_test::Node;
using xmlobj_test::PS;
using xmlobj_test::TreeDifference;
using xmlobj_test::W;

inline std::u16string U(const unsigned short* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text))
                : std::u16string(u"<null>");
}

// Keeps every physical write in `text`.
class StringOut : public CXMLOut {
  public:
    explicit StringOut(bool format = true) : CXMLOut(format) {}
    ~StringOut() override { Close(true); }

    bool Open(bool declaration = false) { return CXMLOut::Open(nullptr, declaration); }

    std::u16string text;

  protected:
    bool WritePhys(const unsigned short* p, std::uint64_t count) override {
        text.append(reinterpret_cast<const char16_t*>(p), count);
        return true;
    }
    bool ClosePhys(bool discard) override {
        if (discard) text.clear();
        return true;
    }
    std::uint64_t GetSizeWritten() override { return text.size() * 2; }
};

// A file's bytes as UTF-16 units (an odd last byte is dropped).
inline std::u16string ReadUtf16(const std::string& path) {
    const std::string bytes = tqtest::ReadBytes(path);
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return units;
}

// a x="1<2" holding b (data "hi"), c (empty) and d (data "  two"), and its
// text on a formatted sink after the mark and the declaration, and unformatted.
inline const std::u16string kExampleLines =
    u"<a x=\"1&lt;2\">\r\n <b>hi</b>\r\n <c/>\r\n <d>\r\n  <![CDATA[  two]]>\r\n </d>\r\n</a>\r\n";
inline const std::u16string kExampleText =
    u"<a x=\"1&lt;2\"><b>hi</b><c/><d><![CDATA[  two]]></d></a>";
inline const std::u16string kStart = u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
inline CXMLObject ExampleTree() {
    CXMLObject a = Node(u"a");
    a.AddAttribute(PS(u"x"), PS(u"1<2"));
    a.Add(DataNode(u"b", u"hi"));
    a.Add(Node(u"c"));
    a.Add(DataNode(u"d", u"  two"));
    return a;
}

// A chain of `depth` nested elements named n, the innermost holding "x".
inline CXMLObject Chain(unsigned int depth) {
    CXMLObject inner = DataNode(u"n", u"x");
    for (unsigned int i = 1; i < depth; ++i) {
        CXMLObject outer = Node(u"n");
        outer.Add(inner);
        inner = outer;
    }
    return inner;
}

// The text of a memory sink after one tree.
inline std::u16string MemText(const CXMLObject& tree) {
    CXMLMemOut sink;
    if (!sink.Open() || !sink.Write(tree) || !sink.Close(false)) return u"<failed>";
    return U(static_cast<const unsigned short*>(sink));
}

}  // namespace xmlout_test
