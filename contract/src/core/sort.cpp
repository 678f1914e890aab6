// Introsort over raw bytes: quicksort with a median-of-three pivot, heapsort
// when the partitions keep coming out lopsided, insertion sort for short
// runs. Recursion only goes into the smaller side, so the stack stays
// logarithmic; every index is bounds-checked so a broken comparison cannot
// lead outside the array.
#include <cstdint>
#include <cstring>

#include "tqcore/algo.h"

namespace tqcore {
namespace {

constexpr std::size_t kShortRun = 16;

class ByteArraySorter {
  public:
    ByteArraySorter(void* base, std::size_t size, TQCompare compare)
        : m_base(static_cast<unsigned char*>(base)), m_size(size), m_compare(compare) {}

    void sort(std::size_t lo, std::size_t hi, unsigned depth) {
        while (hi - lo > kShortRun) {
            if (depth == 0) return heapSort(lo, hi);
            --depth;
            const std::size_t p = partition(lo, hi);
            if (p - lo < hi - p) {
                sort(lo, p, depth);
                lo = p + 1;
            } else {
                sort(p + 1, hi, depth);
                hi = p;
            }
        }
        insertionSort(lo, hi);
    }

  private:
    unsigned char* at(std::size_t i) const { return m_base + i * m_size; }
    bool less(std::size_t i, std::size_t j) const { return m_compare(at(i), at(j)) < 0; }

    void swap(std::size_t i, std::size_t j) {
        if (i == j) return;
        unsigned char chunk[64];
        unsigned char* a = at(i);
        unsigned char* b = at(j);
        for (std::size_t left = m_size; left;) {
            const std::size_t n = left < sizeof chunk ? left : sizeof chunk;
            std::memcpy(chunk, a, n);
            std::memcpy(a, b, n);
            std::memcpy(b, chunk, n);
            a += n;
            b += n;
            left -= n;
        }
    }

    // Places the median of the first, middle and last item at `lo` and
    // partitions [lo, hi) around it; returns the pivot's final index.
    std::size_t partition(std::size_t lo, std::size_t hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const std::size_t last = hi - 1;
        if (less(mid, lo)) swap(mid, lo);
        if (less(last, mid)) {
            swap(last, mid);
            if (less(mid, lo)) swap(mid, lo);
        }
        swap(lo, mid);
        std::size_t i = lo;
        std::size_t j = hi;
        for (;;) {
            // Both scans stop on items equal to the pivot, which keeps runs of
            // duplicates balanced.
            do ++i;
            while (i < hi && less(i, lo));
            do --j;
            while (j > lo && less(lo, j));
            if (i >= j) break;
            swap(i, j);
        }
        swap(lo, j);
        return j;
    }

    void insertionSort(std::size_t lo, std::size_t hi) {
        for (std::size_t i = lo + 1; i < hi; ++i)
            for (std::size_t j = i; j > lo && less(j, j - 1); --j) swap(j, j - 1);
    }

    void siftDown(std::size_t lo, std::size_t root, std::size_t count) {
        for (;;) {
            std::size_t child = 2 * root + 1;
            if (child >= count) return;
            if (child + 1 < count && less(lo + child, lo + child + 1)) ++child;
            if (!less(lo + root, lo + child)) return;
            swap(lo + root, lo + child);
            root = child;
        }
    }

    void heapSort(std::size_t lo, std::size_t hi) {
        const std::size_t count = hi - lo;
        for (std::size_t i = count / 2; i-- > 0;) siftDown(lo, i, count);
        for (std::size_t end = count; end-- > 1;) {
            swap(lo, lo + end);
            siftDown(lo, 0, end);
        }
    }

    unsigned char* m_base;
    std::size_t m_size;
    TQCompare m_compare;
};

unsigned depthLimit(std::size_t count) {
    unsigned log2 = 0;
    while (count >>= 1) ++log2;
    return 2 * log2;
}

}  // namespace

bool tqqsort(void* base, std::size_t count, std::size_t size, TQCompare compare) noexcept {
    if ((!base && count) || !compare || size == 0 || count > SIZE_MAX / size) return false;
    ByteArraySorter(base, size, compare).sort(0, count, depthLimit(count));
    return true;
}

std::size_t tqqsearch(const void* key, const void* base, std::size_t count, std::size_t size,
                      TQCompare compare) noexcept {
    if (!base || !compare || size == 0 || count > SIZE_MAX / size) return count;
    const auto* items = static_cast<const unsigned char*>(base);
    std::size_t lo = 0;
    for (std::size_t n = count; n > 0;) {
        const std::size_t half = n / 2;
        if (compare(key, items + (lo + half) * size) > 0) {
            lo += half + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    return lo;
}

}  // namespace tqcore
