// What a process holds, read from /proc/self: memory, open descriptors and
// threads, for tests that check that a long run does not accumulate them.
#pragma once

#include <cstdint>
#include <string>

namespace tarn::test {

struct ProcessFigures {
    int64_t residentBytes = 0;  // resident set
    int64_t heapBytes = 0;      // bytes the allocator has handed out and not taken back
    int descriptors = 0;
    int threads = 0;
};

ProcessFigures MeasureProcess();

// "resident 41.2 MiB, heap 3.1 MiB, 12 descriptors, 3 threads"
std::string Describe(const ProcessFigures& figures);

// Whether this build runs under AddressSanitizer, whose quarantine keeps
// freed memory resident on purpose (the resident set then says little).
bool UnderAddressSanitizer();

}  // namespace tarn::test
