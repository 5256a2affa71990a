// A small benchmark harness built for a shared, noisy machine: a subject and
// its baseline are timed in alternation, and each keeps its fastest round,
// so that a burst of load elsewhere spoils both or neither. Under callgrind
// (bench/callgrind.sh) each side runs once and its instruction count is
// dumped instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bench {

struct Pair {
    double subjectSeconds = 0;  // fastest round of the subject
    double baselineSeconds = 0; // fastest round of the baseline
    double ratio() const { return subjectSeconds / baselineSeconds; }
};

// Times subject and baseline alternately for `rounds` rounds; each round
// runs a side `inner` times and counts the time per run. Each run is timed
// on its own, so that `cleanup` (run after every subject run, e.g. to
// release what it built) stays out of the figures. Under callgrind each
// side runs once, between zeroed and dumped counters named "<name>/subject"
// and "<name>/baseline".
Pair Compare(const std::string &name, int rounds, int inner, const std::function<void()> &subject,
             const std::function<void()> &baseline, const std::function<void()> &cleanup = {});

// Times one action alone: its fastest round, per run.
double Fastest(const std::string &name, int rounds, int inner, const std::function<void()> &action);

bool UnderCallgrind();

// The heap counters kept by the program's operator new and delete.
void CountAllocation(void *p);
void CountRelease(void *p);

// How far the heap grew at its peak while action ran, in bytes, over what
// it held when action started. Counts what operator new hands out (the
// library's containers and the XML parser's buffers), by usable size.
int64_t PeakHeapGrowth(const std::function<void()> &action);

}  // namespace bench
