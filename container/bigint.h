// The big-integer handle, shared with the tests that compare it with GMP.
#ifndef ORBEK_CONTAINER_BIGINT_H
#define ORBEK_CONTAINER_BIGINT_H

#include <gmp.h>

#include "orbek_util.h"

// One GMP integer.  The handle comes from the allocation hooks; its digits
// from the memory functions registered with GMP at start-up.
struct orbek_biginteger {
    mpz_t z;
};

#endif
