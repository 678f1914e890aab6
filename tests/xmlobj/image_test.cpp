// Binary images: exact bytes, loading, malformed images, files, timing
// lines, memory failures and depth.
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "image_test_support.h"
#include "tqcore/log.h"
#include "tqplatform/files.h"

using namespace xmlobj_test;

namespace {

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

// <p>, with the data "d" and, when `child`, a child <c/>.
CXMLObject WithData(bool child) {
    CXMLObject p = Node(u"p");
    p.Add(W(u"d"));
    if (child) p.Add(Node(u"c"));
    return p;
}

TEST(ImageFormat, ExactBytesLoadBack) {
    Bytes loneUtf8 = Header(1, true);
    Utf8String(loneUtf8, "a");
    NodeRecord(loneUtf8, 0, 0, 0);
    Bytes loneUtf16 = Header(1, false);
    Append(loneUtf16, 0x61, 2);
    Append(loneUtf16, 0, 2);
    NodeRecord(loneUtf16, 0, 0, 0);
    Bytes example = Header(4, true);
    for (const char* s : {"a", "t", "x", "1"}) Utf8String(example, s);
    NodeRecord(example, 0, 1, 0x80000001);
    AttribRecord(example, 2, 3);
    Bytes repeated = Header(2, true);
    for (const char* s : {"r", "c"}) Utf8String(repeated, s);
    NodeRecord(repeated, 0, 0, 3);
    for (int i = 0; i < 3; ++i) NodeRecord(repeated, 1, 0, 0);
    Bytes dataOnly = Header(2, true);
    for (const char* s : {"p", "d"}) Utf8String(dataOnly, s);
    NodeRecord(dataOnly, 0, 0, 0x80000001);

    const struct {
        const char* name;
        CXMLObject tree;
        bool wide;
        Bytes expected;
        CXMLObject loadsAs;
    } cases[] = {
        {"lone node, UTF-8", Node(u"a"), false, loneUtf8, Node(u"a")},
        {"lone node, UTF-16", Node(u"a"), true, loneUtf16, Node(u"a")},
        {"name, data, attribute name, value", Example(), false, example, Example()},
        {"a repeated name stored once", RepeatedName(), false, repeated, RepeatedName()},
        {"elements and data: data only", WithData(true), false, dataOnly, WithData(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StoreBytes(c.tree, c.wide), c.expected);
        EXPECT_EQ(Difference(LoadBytes(c.expected), c.loadsAs), "");
        EXPECT_EQ(
            Difference(CXMLObject::Load(static_cast<const void*>(c.expected.data())), c.loadsAs),
            "");
    }
    EXPECT_EQ(loneUtf8.size(), 24u);
    EXPECT_FALSE(CXMLObject::Load(static_cast<const void*>(nullptr)));

    // No name check and no duplicate test: both attributes come back.
    Bytes unchecked = Header(3, true);
    for (const char* s : {"1bad name", "k", "v"}) Utf8String(unchecked, s);
    NodeRecord(unchecked, 0, 2, 0);
    AttribRecord(unchecked, 1, 2);
    AttribRecord(unchecked, 1, 1);
    const CXMLObject loaded = LoadBytes(unchecked);
    unsigned int n = 0;
    const CXMLAttribute* attribs = loaded.GetAttributes(n);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(Text(loaded.GetName()), u"1bad name");
    EXPECT_EQ(Text(attribs[0].GetValue()) + Text(attribs[1].GetValue()), u"vk");
}

TEST(ImageFormat, StoreRefusesWhatTheFormatCannotCarry) {
    CXMLObject many = Node(u"m");
    for (unsigned int i = 0; i < 65536; ++i) {
        const std::u16string name = u"a" + std::u16string(1, char16_t(0x4E00 + i % 20000)) +
                                    std::u16string(1, char16_t(0x4E00 + i / 20000));
        ASSERT_TRUE(many.AddAttribute(PS(name.c_str()), PS(u"")));
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
    Bytes emptyName = Header(1, true);
    Utf8String(emptyName, "");
    NodeRecord(emptyName, 0, 0, 0);
    auto image = [](std::uint32_t headerSize, std::uint32_t count, auto records) {
        Bytes out = Header(count, true, headerSize);
        out.resize(headerSize, 0);
        for (std::uint32_t i = 0; i < count && i < 2; ++i) Utf8String(out, i ? "b" : "a");
        records(out);
        return out;
    };
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"header cut short", Bytes{12, 0, 0, 0, 1, 0}},
        {"header size below 12", image(8, 1, [](Bytes& b) { NodeRecord(b, 0, 0, 0); })},
        {"header size past the end", Header(0, true, 4096)},
        {"more strings than bytes", image(12, 0x40000000, [](Bytes&) {})},
        {"string without terminator", Bytes{12, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a'}},
        {"no root record", image(12, 1, [](Bytes&) {})},
        {"root record cut short", image(12, 1, [](Bytes& b) { Append(b, 0, 6); })},
        {"name id out of range", image(12, 2, [](Bytes& b) { NodeRecord(b, 2, 0, 0); })},
        {"empty name", emptyName},
        {"attribute records missing", image(12, 2, [](Bytes& b) { NodeRecord(b, 0, 1, 0); })},
        {"attribute value id out of range", image(12, 2,
                                                  [](Bytes& b) {
                                                      NodeRecord(b, 0, 1, 0);
                                                      AttribRecord(b, 1, 7);
                                                  })},
        {"data id out of range", image(12, 2, [](Bytes& b) { NodeRecord(b, 0, 0, 0x80000002); })},
        {"more children than bytes", image(12, 2,
                                           [](Bytes& b) {
                                               NodeRecord(b, 0, 0, 0x7FFFFFFF);
                                               NodeRecord(b, 1, 0, 0);
                                           })},
        {"a child's children overrun", image(12, 2,
                                             [](Bytes& b) {
                                                 NodeRecord(b, 0, 0, 2);
                                                 NodeRecord(b, 1, 0, 1);
                                                 NodeRecord(b, 1, 0, 0);
                                             })},
    };
    const ReportRecorder recorder;  // refused quietly, not as broken rules
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(LoadBytes(c.bytes));
    }
    EXPECT_TRUE(recorder.reports().empty());
}

// Every cut of a real image fails, both with the size known and without it,
// the cut image ending where an unreadable page begins.
TEST(ImageLoad, EveryTruncationFailsWithinItsBytes) {
    CXMLObject tree = RepeatedName();
    tree.item(0u)->Add(Example());
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    for (bool wide : {false, true}) {
        const Bytes full = StoreBytes(tree, wide);
        ASSERT_EQ(Difference(LoadBytes(full), tree), "");
        for (std::size_t size = 0; size < full.size(); ++size) {
            SCOPED_TRACE(size);
            const Bytes cut(full.begin(), full.begin() + size);
            EXPECT_FALSE(LoadBytes(cut));
            std::uint8_t* at = pages + page - size;
            if (size) std::memcpy(at, cut.data(), size);
            EXPECT_FALSE(CXMLObject::Load(static_cast<const void*>(at)));
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
    EXPECT_EQ(Difference(CXMLObject::Load(mem), root), "");
    EXPECT_EQ(Difference(CXMLObject::Load(static_cast<const void*>(mem)), root), "");
    EXPECT_EQ(Difference(static_cast<CXMLObject>(Cxmpobject(root)), root), "");
}

class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/tqxml-image-XXXXXX";
        m_path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    std::u16string File(const std::string& relative) const {
        const std::string path = m_path + "/" + relative;
        return std::u16string(path.begin(), path.end());
    }
    const unsigned short* Path(const std::u16string& path) const { return W(path.c_str()); }

  private:
    std::string m_path;
};

TEST(ImageFile, StoreCreatesDirectoriesAndLoadReadsBack) {
    TempFolder dir;
    const CXMLObject tree = Example();
    const std::u16string nested = dir.File("new/deeper/tree.img");
    ASSERT_TRUE(CXMLObject::Store(dir.Path(nested), 0, tree, true));
    EXPECT_EQ(Difference(CXMLObject::Load(dir.Path(nested), 0), tree), "");

    const std::u16string empty = dir.File("empty.img");
    std::ofstream(std::string(empty.begin(), empty.end())).close();
    EXPECT_FALSE(CXMLObject::Load(dir.Path(empty), 0));
    EXPECT_FALSE(CXMLObject::Load(dir.Path(dir.File("missing.img")), 0));
    // A file where a directory should be: no directory can be made.
    EXPECT_FALSE(CXMLObject::Store(dir.Path(dir.File("empty.img/tree.img")), 0, tree, true));
    const std::u16string tooLong = dir.File(std::string(300, 'd') + "/tree.img");
    EXPECT_FALSE(CXMLObject::Store(dir.Path(tooLong), 0, tree, true));
}

TEST(ImageFile, LockedFileIsRetriedUntilTheTimeout) {
    TempFolder dir;
    const std::u16string path = dir.File("locked.img");
    ASSERT_TRUE(CXMLObject::Store(dir.Path(path), 0, Example(), false));
    tqplat::HANDLE held = tqplat::CreateFileW(dir.Path(path), tqplat::GENERIC_READ, 0, nullptr,
                                              tqplat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, tqplat::INVALID_HANDLE_VALUE);
    const std::uint32_t began = tqplat::GetTickCount();
    EXPECT_FALSE(CXMLObject::Store(dir.Path(path), 50, Example(), false));
    EXPECT_FALSE(CXMLObject::Load(dir.Path(path), 50));
    EXPECT_GE(tqplat::GetTickCount() - began, 100u);
    tqplat::CloseHandle(held);
    EXPECT_TRUE(CXMLObject::Load(dir.Path(path), 50));
}

std::vector<std::string> g_log;

TEST(ImageFile, TimingLinesGiveBytesOrKilobytes) {
    const bool wasDebug = IsDebugOn();
    SetDebugOn(true);
    const LogSink previous =
        SetLogSink([](unsigned int s1, unsigned int s2, const unsigned short* t) {
            std::string line = std::to_string(s1) + "," + std::to_string(s2) + ":";
            for (; *t; ++t) line += static_cast<char>(*t);
            g_log.push_back(line);
        });
    TempFolder dir;
    // A node "a" with n characters of data makes an image of 25 + n bytes.
    for (const auto& [bytes, size] : {std::pair{300, "300 bytes"}, std::pair{5000, "4kB"}}) {
        SCOPED_TRACE(size);
        CXMLObject tree = Node(u"a");
        tree.Add(W(std::u16string(bytes - 25, u'x').c_str()));
        g_log.clear();
        const std::u16string path = dir.File("timed.img");
        ASSERT_TRUE(CXMLObject::Store(dir.Path(path), 0, tree, false));
        ASSERT_TRUE(CXMLObject::Load(dir.Path(path), 0));
        ASSERT_EQ(g_log.size(), 2u);
        EXPECT_EQ(g_log[0].rfind("3,16:\rCXMLObject::Store: Encoding time=", 0), 0u) << g_log[0];
        EXPECT_EQ(g_log[1].rfind("3,16:\rCXMLObject::Load: Parsing time=", 0), 0u) << g_log[1];
        for (const std::string& line : g_log)
            EXPECT_EQ(line.substr(line.size() - std::strlen(size) - 4), std::string("ms, ") + size);
    }
    SetLogSink(previous);
    SetDebugOn(wasDebug);
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
    ASSERT_NE(block, nullptr);
    int foreign = 0;
    alloc.Delete(&foreign);
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
            AllocationFailure failing(allowed);
            CPMemory image;
            stored = CXMLObject::Store(image, tree, wide);
            EXPECT_EQ(static_cast<bool>(image), stored);
            const CXMLObject back = LoadBytes(good);
            loaded = static_cast<bool>(back);
            if (loaded) {
                EXPECT_EQ(Difference(back, tree), "");
            }
            const Cxmpobject pack(tree);
            packed = static_cast<bool>(pack);
        }
        EXPECT_GT(allowed, 10);  // failures were met on the way
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

}  // namespace
