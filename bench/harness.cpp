#include "harness.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_HAVE_CALLGRIND 1
#endif

namespace bench {
namespace {

// Allocations are counted only while a figure of memory is taken, so that
// the counting costs nothing to the figures of time.
std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_heapNow{0};
std::atomic<int64_t> g_heapPeak{0};

}  // namespace

void CountAllocation(void *p) {
    if (!p || !g_counting.load(std::memory_order_relaxed)) return;
    int64_t now = g_heapNow += static_cast<int64_t>(malloc_usable_size(p));
    int64_t peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

void CountRelease(void *p) {
    // A block allocated before counting began lowers the count too: the heap
    // did shrink by it.
    if (p && g_counting.load(std::memory_order_relaxed))
        g_heapNow -= static_cast<int64_t>(malloc_usable_size(p));
}

namespace {

double TimeRuns(int inner, const std::function<void()> &action,
                const std::function<void()> &cleanup = {}) {
    std::chrono::duration<double> spent{0};
    for (int i = 0; i < inner; ++i) {
        auto start = std::chrono::steady_clock::now();
        action();
        spent += std::chrono::steady_clock::now() - start;
        if (cleanup) cleanup();
    }
    return spent.count() / inner;
}

void Counted(const std::string &name, const std::function<void()> &action) {
#ifdef BENCH_HAVE_CALLGRIND
    CALLGRIND_ZERO_STATS;
    action();
    CALLGRIND_DUMP_STATS_AT(name.c_str());
#else
    (void)name;
    action();
#endif
}

}  // namespace

bool UnderCallgrind() {
#ifdef BENCH_HAVE_CALLGRIND
    return RUNNING_ON_VALGRIND != 0;
#else
    return false;
#endif
}

Pair Compare(const std::string &name, int rounds, int inner, const std::function<void()> &subject,
             const std::function<void()> &baseline, const std::function<void()> &cleanup) {
    if (UnderCallgrind()) {
        Counted(name + "/baseline", baseline);
        Counted(name + "/subject", subject);
        if (cleanup) cleanup();
        return {};
    }
    // One untimed run each warms caches and the page cache.
    baseline();
    subject();
    if (cleanup) cleanup();
    Pair best{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    for (int r = 0; r < rounds; ++r) {
        best.baselineSeconds = std::min(best.baselineSeconds, TimeRuns(inner, baseline));
        best.subjectSeconds = std::min(best.subjectSeconds, TimeRuns(inner, subject, cleanup));
    }
    return best;
}

double Fastest(const std::string &name, int rounds, int inner, const std::function<void()> &action) {
    if (UnderCallgrind()) {
        Counted(name, action);
        return 0;
    }
    action();
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < rounds; ++r) best = std::min(best, TimeRuns(inner, action));
    return best;
}

int64_t PeakHeapGrowth(const std::function<void()> &action) {
    g_heapNow.store(0);
    g_heapPeak.store(0);
    g_counting.store(true);
    action();
    g_counting.store(false);
    return g_heapPeak.load();
}

}  // namespace bench

// Every allocation of the program goes through the counters above.
void *operator new(std::size_t size) {
    void *p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    bench::CountAllocation(p);
    return p;
}
void *operator new[](std::size_t size) { return ::operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    void *p = std::malloc(size ? size : 1);
    bench::CountAllocation(p);
    return p;
}
void *operator new[](std::size_t size, const std::nothrow_t &t) noexcept {
    return ::operator new(size, t);
}
void operator delete(void *p) noexcept {
    bench::CountRelease(p);
    std::free(p);
}
void operator delete[](void *p) noexcept { ::operator delete(p); }
void operator delete(void *p, std::size_t) noexcept { ::operator delete(p); }
void operator delete[](void *p, std::size_t) noexcept { ::operator delete(p); }
