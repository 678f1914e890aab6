// Builds against the installed headers and libraries only.
#include <tqxml/tqxml.h>

#include <cstdio>

int main() {
    tqcore::CPPoolString a(u"consumer"), b(u"consumer");
    if (a != b || a.len() != 8) {
        std::puts("pooled strings are not shared");
        return 1;
    }
    return 0;
}
