#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "parser_test_support.h"

namespace tqcore::parsertest {
namespace {

// Each thread keeps its own released buffer; documents on separate threads
// share nothing else of the loader.
TEST(LoadThreads, SeparateDocumentsOnSeparateThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> parsed{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &parsed] {
            for (int i = 0; i < 200; ++i) {
                const std::string text =
                    "<r t='" + std::to_string(t) + "'>" + std::string(100 * (i % 7), 'x') + "</r>";
                CXMLDoc doc;
                const std::string expected = "r[t='" + std::to_string(t) + "']";
                if (doc.OpenDocText(text.c_str(), CXML_REPORT_SILENT) &&
                    Tree(doc.GetContentElement()).compare(0, expected.size(), expected) == 0)
                    ++parsed;
                doc.OpenDocText("<r>broken</q>", CXML_REPORT_SILENT);
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(parsed.load(), 800);
}

// Trees parsed on one thread and dropped on another: the bodies and the
// pooled strings they held are all given back.
TEST(LoadThreads, TreesParsedOnOneThreadAreReleasedOnAnother) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    const std::size_t strings = CStringPool::GetCount();
    std::vector<CXMLObject> trees;
    std::mutex lock;
    std::atomic<bool> done{false};
    std::thread releaser([&] {
        for (;;) {
            std::vector<CXMLObject> taken;
            {
                std::lock_guard<std::mutex> g(lock);
                taken.swap(trees);
            }
            const bool last = done.load();
            taken.clear();
            if (last) break;
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 300; ++i) {
        std::string text = "<r>";
        for (int k = 0; k < 20; ++k)
            text += "<e n='" + std::to_string(i * 20 + k) + "'>t" + std::to_string(k) + "</e>";
        CXMLDoc doc;
        EXPECT_TRUE(doc.OpenDocText((text + "</r>").c_str(), CXML_REPORT_SILENT));
        std::lock_guard<std::mutex> g(lock);
        trees.push_back(doc.GetContent());
    }
    done = true;
    releaser.join();
    trees.clear();
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
    EXPECT_EQ(CStringPool::GetCount(), strings);
}

}  // namespace
}  // namespace tqcore::parsertest
