// Test main: the counting allocator goes in before anything allocates.
#include <gtest/gtest.h>
#include <stdio.h>

#include "support/test_alloc.h"

int main(int argc, char **argv) {
    if (!testalloc::install()) {
        fputs("the test allocator could not be installed: the library allocated first\n", stderr);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
