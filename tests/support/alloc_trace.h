// Which exported functions allocate, and which of them allocate inside an
// allocation-failure sweep: with ORBEK_ALLOC_TRACE=FILE in the environment,
// every allocation through the test hooks notes the library's exported
// functions on the caller's stack, and at exit the program appends one line
// per function to FILE: "A name" (it allocated) and "S name" (it allocated
// while testalloc::sweep ran an operation).  scripts/sweep_coverage.sh reads
// the files.  Without the variable, or where the C library cannot walk the
// stack, nothing is recorded.
#ifndef ORBEK_TEST_ALLOC_TRACE_H
#define ORBEK_TEST_ALLOC_TRACE_H

namespace alloctrace {

// Notes the exported functions on the current stack.
void record(bool in_sweep);

}  // namespace alloctrace

#endif
