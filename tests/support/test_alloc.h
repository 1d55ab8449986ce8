// Test-support allocator: counts live blocks and fails the Nth allocation on
// request.  Installed by the test main before the library's first
// allocation.
#ifndef ORBEK_TEST_ALLOC_H
#define ORBEK_TEST_ALLOC_H

#include <stdint.h>

#include <functional>

namespace testalloc {

// Installs the hooks; returns false if the library had already allocated.
bool install();
// Blocks allocated through the hooks and not yet released.
long live_blocks();
// Allocations made through the hooks since the program started.
long total_allocations();
// Fail the nth allocation from now (1 = the next one); 0 cancels.
void fail_nth(long n);
// Whether an injected failure has happened since the last fail_nth.
bool failure_hit();
// The source name and line of the latest allocation request.
const char *last_file();
int32_t last_line();

// Runs op with a failure injected at allocation 1, 2, 3 ... until op
// succeeds without the failure being hit.  op returns true on success and
// must release everything it owns before returning, whatever the outcome.
// At every step the sweep checks (with GoogleTest assertions) that:
//   - op reported failure whenever the injected failure was hit;
//   - no block stays live once op has returned.
// Returns the number of allocations the successful run made.
long sweep(const std::function<bool()> &op, long max_steps = 100000);

}  // namespace testalloc

#endif
