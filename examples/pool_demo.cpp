// Interns the words of a text, shows how the pool shares them, and reports
// on the family log.
#include <tqxml/tqxml.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tqcore/wtext.h"

namespace {

const char16_t kSample[] =
    u"the pool keeps one copy of every text and the nodes of a tree share it "
    u"so a name that a document repeats a thousand times costs one entry";

std::vector<std::u16string> Words(const std::u16string& text) {
    std::vector<std::u16string> words;
    std::u16string word;
    for (char16_t c : text + u" ") {
        if (c == u' ') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

}  // namespace

int main() {
    std::size_t before = tqcore::CStringPool::GetCount();
    std::vector<tqcore::CPPoolString> held;
    for (const std::u16string& w : Words(kSample)) held.emplace_back(w.c_str());
    std::size_t distinct = tqcore::CStringPool::GetCount() - before;

    tqcore::CHFLapse lapse(true);
    unsigned long long lookups = 0;
    for (int round = 0; round < 100000; ++round) {
        for (const std::u16string& w : Words(u"the pool keeps one copy")) {
            lookups += !tqcore::CStringPool::QueryStringRefn(
                            reinterpret_cast<const unsigned short*>(w.data()),
                            static_cast<unsigned int>(w.size()))
                            .isnull();
        }
    }
    lapse.Stop();

    std::printf("words: %zu, distinct pooled strings: %zu\n", held.size(), distinct);
    std::printf("'the' and 'the' share one entry: %s\n",
                tqcore::CPPoolString(u"the") == held.front() ? "yes" : "no");
    std::printf("%llu look-ups in %.1f ms\n", lookups, static_cast<double>(lapse));
    tqcore::wPrintf(3, 4, tqcore::W(u"pool_demo: %u distinct of %u words\n"),
                    static_cast<unsigned>(distinct), static_cast<unsigned>(held.size()));
    held.clear();
    std::printf("after release: %zu pooled strings left from this run\n",
                tqcore::CStringPool::GetCount() - before);
    return 0;
}
