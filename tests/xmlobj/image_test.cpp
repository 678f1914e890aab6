// Binary images and packed trees: exact bytes, malformed and cut images,
// files, timing lines, memory failures, depth and sharing.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "tqplatform/files.h"
#include "xmlobj_test_support.h"

namespace tqcore {
struct CxmpobjectTestAccess {
    static CxmpobjectBody* Body(const Cxmpobject& o) { return o.m_pO; }
    static void Adopt(Cxmpobject& o, CxmpobjectBody* body) { o.m_pO = body; }
};
}  // namespace tqcore

using namespace xmlobj_test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A header and UTF-8 strings of a hand-made image.
Bytes Header(std::uint32_t count, std::initializer_list<const char*> strings = {},
             std::uint32_t headerSize = 12) {
    Bytes out;
    AppendLE(out, headerSize, 4);
    AppendLE(out, count, 4);
    AppendLE(out, 1, 4);
    for (const char* s : strings) out.insert(out.end(), s, s + std::strlen(s) + 1);
    return out;
}
// A node record (name id, attribute count, children or 0x80000000 | data id)
// or an attribute record (name id, value id) after `out`.
Bytes NodeRecord(Bytes out, std::uint32_t name, std::uint16_t attribs, std::uint32_t content) {
    for (auto [value, width] : {std::pair{name, 4}, {attribs, 2}, {content, 4}})
        AppendLE(out, value, width);
    return out;
}
Bytes AttribRecord(Bytes out, std::uint32_t name, std::uint32_t value) {
    return AppendLE(out, name, 4), AppendLE(out, value, 4), out;
}

Bytes StoreBytes(const CXMLObject& tree, bool wide) {
    CPMemory mem;
    if (!CXMLObject::Store(mem, tree, wide)) return {};
    const auto* p = static_cast<const std::uint8_t*>(static_cast<void*>(mem));
    return Bytes(p, p + mem.GetSize());
}

// Loads through the sized reader.
CXMLObject LoadBytes(const Bytes& image) {
    CPMemory mem;
    if (!image.empty()) {
        if (!mem.Alloc(image.size())) return CXMLObject();
        std::memcpy(static_cast<void*>(mem), image.data(), image.size());
    }
    return CXMLObject::Load(mem);
}

// <a x="1">t</a>
CXMLObject Example() {
    CXMLObject a = Node(u"a");
    a.AddAttribute(PS(u"x"), PS(u"1"));
    a.Add(W(u"t"));
    return a;
}

// <r><c/><c/><c/></r>
CXMLObject RepeatedName() {
    CXMLObject r = Node(u"r");
    for (int i = 0; i < 3; ++i) r.Add(Node(u"c"));
    return r;
}

TEST(ImageFormat, ExactBytesLoadBack) {
    Bytes loneUtf16;
    for (const auto& [value, width] : {std::pair{12, 4}, {1, 4}, {0, 4}, {'a', 2}, {0, 2}})
        AppendLE(loneUtf16, value, width);
    Bytes repeated = Header(2, {"r", "c"});
    for (int children : {3, 0, 0, 0})
        repeated = NodeRecord(repeated, children ? 0 : 1, 0, children);
    CXMLObject mixed = DataNode(u"p", u"d");  // data and a child: the data only
    mixed.Add(Node(u"c"));
    const CXMLObject dataOnly = DataNode(u"p", u"d");
    const struct {
        CXMLObject tree;
        bool wide;
        Bytes expected;
        CXMLObject loadsAs;
    } cases[] = {
        {Node(u"a"), true, NodeRecord(loneUtf16, 0, 0, 0), Node(u"a")},
        {Example(), false,
         AttribRecord(NodeRecord(Header(4, {"a", "t", "x", "1"}), 0, 1, 0x80000001), 2, 3),
         Example()},
        {RepeatedName(), false, repeated, RepeatedName()},  // a repeated name is stored once
        {mixed, false, NodeRecord(Header(2, {"p", "d"}), 0, 0, 0x80000001), dataOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(StoreBytes(c.tree, c.wide), c.expected);
        EXPECT_TRUE(SameTree(LoadBytes(c.expected), c.loadsAs));
        EXPECT_TRUE(
            SameTree(CXMLObject::Load(static_cast<const void*>(c.expected.data())), c.loadsAs));
    }
    EXPECT_FALSE(CXMLObject::Load(static_cast<const void*>(nullptr)));
}

TEST(ImageFormat, StoreRefusesWhatTheFormatCannotCarry) {
    CXMLObject many = Node(u"m");
    for (unsigned int i = 0; i < 65536; ++i) {
        const char16_t name[] = {u'a', char16_t(0x4E00 + i % 20000), char16_t(0x4E00 + i / 20000),
                                 0};
        ASSERT_TRUE(many.AddAttribute(PS(name), PS(u"")));
    }
    CXMLObject zero = Node(u"z");
    const unsigned short withZero[] = {'x', 0, 'y'};
    zero.Add(CStringPool::GetStringRefn(withZero, 3));
    CPMemory mem;
    for (const CXMLObject& tree : {many, zero, CXMLObject()}) {
        ASSERT_TRUE(mem.Alloc(8));
        EXPECT_FALSE(CXMLObject::Store(mem, tree, true));
        EXPECT_FALSE(mem);  // freed on failure
    }
}

TEST(ImageLoad, MalformedImagesGiveAnEmptyHandle) {
    const Bytes ab = Header(2, {"a", "b"});
    const Bytes cases[] = {
        NodeRecord(Header(1, {"a"}, 8), 0, 0, 0),               // header size below 12
        Header(0, {}, 4096),                                    // header size past the end
        Header(0x40000000, {}),                                 // more strings than bytes
        Bytes{12, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a'},        // string without terminator
        NodeRecord(Header(1, {""}), 0, 0, 0),                   // empty name
        NodeRecord(ab, 2, 0, 0),                                // name id out of range
        AttribRecord(NodeRecord(ab, 0, 1, 0), 1, 7),            // attribute value id out of range
        NodeRecord(ab, 0, 0, 0x80000002),                       // data id out of range
        NodeRecord(NodeRecord(ab, 0, 0, 0x7FFFFFFF), 1, 0, 0),  // more children than bytes
        NodeRecord(NodeRecord(NodeRecord(ab, 0, 0, 2), 1, 0, 1), 1, 0, 0),  // a child's overrun
    };
    const ReportRecorder recorder;  // refused quietly, not as broken rules
    for (const Bytes& image : cases) EXPECT_FALSE(LoadBytes(image)) << &image - cases;
    // A UTF-16 string without terminator, long enough that what follows the
    // image is fresh zero pages, which a reader running on would take for a
    // record.
    Bytes wide = Header(1);
    wide[8] = 0;
    wide.resize(wide.size() + (1 << 18), 'a');
    EXPECT_FALSE(LoadBytes(wide));
    EXPECT_TRUE(recorder.reports().empty());
}

// A whole image loads, also from an odd address, with strings of every
// length and letters; every cut of it fails, both with the size known and
// without it, the cut image ending where an unreadable page begins.
TEST(ImageLoad, WholeImagesLoadAnywhereAndEveryTruncationFails) {
    CXMLObject tree = RepeatedName();
    tree.item(0u)->Add(Example());
    for (std::u16string text : {u"\u00e9", u"\u20ac\U0001D11E x", u"plain"}) {
        for (int i = 0; i < 6; ++i) text += text;  // up to several hundred units
        CXMLObject child = Node(u"c");
        child.AddAttribute(PS(u"v"), PS(text.c_str()));
        child.Add(W(text.substr(0, 40).c_str()));
        tree.Add(child);
    }
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    for (bool wide : {false, true}) {
        const Bytes full = StoreBytes(tree, wide);
        ASSERT_LT(full.size(), std::size_t(page));
        Bytes odd(full.size() + 1);
        std::memcpy(odd.data() + 1, full.data(), full.size());
        ASSERT_TRUE(SameTree(LoadBytes(full), tree));
        EXPECT_TRUE(SameTree(CXMLObject::Load(static_cast<const void*>(odd.data() + 1)), tree));
        for (std::size_t size = 0; size < full.size(); ++size) {
            const Bytes cut(full.begin(), full.begin() + size);
            EXPECT_FALSE(LoadBytes(cut)) << size;
            std::uint8_t* at = pages + page - size;
            if (size) std::memcpy(at, cut.data(), size);
            EXPECT_FALSE(CXMLObject::Load(static_cast<const void*>(at))) << size;
        }
    }
    munmap(pages, 2 * page);
}

TEST(ImageLoad, MillionLevelsWriteReadAndPack) {
    constexpr unsigned int kDepth = 1000000;
    CXMLObject root = Chain(kDepth);
    CXMLObject* tail = &root;
    while (tail->item(0u)) tail = tail->item(0u);
    tail->Add(W(u"bottom"));
    CPMemory mem;
    ASSERT_TRUE(CXMLObject::Store(mem, root, false));
    EXPECT_EQ(mem.GetSize(), 12u + 6 + 7 + 10u * kDepth);
    EXPECT_TRUE(SameTree(CXMLObject::Load(mem), root));
    EXPECT_TRUE(SameTree(CXMLObject::Load(static_cast<const void*>(mem)), root));
    EXPECT_TRUE(SameTree(static_cast<CXMLObject>(Cxmpobject(root)), root));
}

TEST(ImageFile, StoreLoadDirectoriesLocksAndTimingLines) {
    const tqtest::Capture capture(true);
    const tqtest::TempDir dir;
    auto path = [&dir](const std::string& name) { return tqtest::Wide(dir.Path(name)); };
    const std::u16string nested = path("new/deeper/tree.img");
    // A node "a" with 275 characters of data makes an image of 300 bytes;
    // both timing lines give that count.
    CXMLObject tree = Node(u"a");
    tree.Add(W(std::u16string(275, u'x').c_str()));
    ASSERT_TRUE(CXMLObject::Store(W(nested.c_str()), 0, tree, false));
    EXPECT_TRUE(SameTree(CXMLObject::Load(W(nested.c_str()), 0), tree));
    const auto log = tqtest::Capture::Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text.rfind(u"\rCXMLObject::Store: Encoding time=", 0), 0u);
    EXPECT_EQ(log[1].text.rfind(u"\rCXMLObject::Load: Parsing time=", 0), 0u);
    for (const auto& line : log) {
        EXPECT_EQ(line.selector1 * 100 + line.selector2, 316u);
        EXPECT_EQ(line.text.substr(line.text.rfind(u"ms, ")), u"ms, 300 bytes");
    }
    dir.Write("empty.img", "");
    for (const char* name : {"empty.img", "missing.img"})
        EXPECT_FALSE(CXMLObject::Load(W(path(name).c_str()), 0)) << name;
    // A file where a directory should be, and a path too long to make.
    for (const std::string& name : {std::string("empty.img/t"), std::string(300, 'd') + "/t"})
        EXPECT_FALSE(CXMLObject::Store(W(path(name).c_str()), 0, Example(), true));

    tqplat::HANDLE held = tqplat::CreateFileW(W(nested.c_str()), tqplat::GENERIC_READ, 0, nullptr,
                                              tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, tqplat::INVALID_HANDLE_VALUE);
    const std::uint32_t began = tqplat::GetTickCount();
    EXPECT_FALSE(CXMLObject::Store(W(nested.c_str()), 50, Example(), false));
    EXPECT_FALSE(CXMLObject::Load(W(nested.c_str()), 50));
    EXPECT_GE(tqplat::GetTickCount() - began, 100u);
    tqplat::CloseHandle(held);
}

TEST(ImageMemory, AllocatorsAndFailuresRelease) {
    struct Refusing : Inewdelete {
        void* New(std::uint64_t) override { return nullptr; }
        void Delete(void*) override { ADD_FAILURE() << "nothing to give back"; }
    } refusing;
    EXPECT_FALSE(CXMLObject::Store(refusing, Example(), true));
    CPMemory mem;
    CMemoryNewDelete alloc(mem);
    void* block = alloc.New(16);
    int foreign = 0;
    alloc.Delete(&foreign);  // only its own block goes
    EXPECT_EQ(static_cast<void*>(mem), block);
    alloc.Delete(block);
    EXPECT_FALSE(mem);

    // Every allocation that can fail fails once; the results are all or
    // nothing and nothing leaks (the sanitizer build checks).
    const CXMLObject tree = RepeatedName();
    const std::int64_t bodies = GetXMLObjectBodyCount();
    for (bool wide : {false, true}) {
        const Bytes good = StoreBytes(tree, wide);
        bool stored = false, loaded = false, packed = false;
        std::int64_t allowed = 0;
        for (; !(stored && loaded && packed); ++allowed) {
            ASSERT_LT(allowed, 200);
            CXMLObject back;
            {
                AllocationFailure failing(allowed);
                CPMemory image;
                stored = CXMLObject::Store(image, tree, wide);
                EXPECT_EQ(static_cast<bool>(image), stored);
                back = LoadBytes(good);
                packed = static_cast<bool>(Cxmpobject(tree));
            }
            loaded = static_cast<bool>(back);
            EXPECT_TRUE(!loaded || SameTree(back, tree));
        }
        EXPECT_GT(allowed, 10);  // failures were met on the way
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(Packed, CopiesShareOneBodyAndUnpackedTreesAreIndependent) {
    EXPECT_FALSE(static_cast<CXMLObject>(Cxmpobject()));
    EXPECT_FALSE(Cxmpobject(CXMLObject()));
    const std::int64_t bodies = GetXmpObjectBodyCount();
    {
        Cxmpobject a(Example()), b(a), c;
        c = b;
        EXPECT_EQ(GetXmpObjectBodyCount(), bodies + 1);
        EXPECT_GT(MemUsage(a).first, sizeof(CxmpobjectBody));
        a.Free();
        EXPECT_TRUE(b && c);
        b = CXMLObject();
        EXPECT_FALSE(b);
        CXMLObject first = c;
        const CXMLObject second = c;
        first.SetAttribute(PS(u"x"), PS(u"changed"));
        EXPECT_TRUE(SameTree(second, Example()));
    }
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies);
}

TEST(Packed, BrokenCountIsReportedAndNothingIsFreed) {
    const std::int64_t bodies = GetXmpObjectBodyCount();
    ReportRecorder recorder;
    Cxmpobject pack(Example());
    CxmpobjectBody* body = CxmpobjectTestAccess::Body(pack);
    body->m_lRefCnt = 0;
    pack.Free();
    ASSERT_EQ(recorder.reports().size(), 1u);
    ExpectReport(recorder.reports()[0], "m_pO->m_lRefCnt >= 1", 4527,
                 "void tqcore::Cxmpobject::_decrement()");
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies + 1);
    body->m_lRefCnt = 1;  // mended, so the body goes back
    CxmpobjectTestAccess::Adopt(pack, body);
    pack.Free();
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies);
}

}  // namespace
