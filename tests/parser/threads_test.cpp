#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace tqcore::parsertest
