// The orbek tool's platform layer: one small function per need, defined in
// cli/posix/ and cli/win32/.
#ifndef ORBEK_CLI_PLATFORM_H
#define ORBEK_CLI_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

// Switches standard input and output to binary mode, so that bytes pass
// through unchanged (no CR LF translation, no end at a Ctrl-Z byte).
void cli_binary_stdio();

// Fills buf with n bytes from the system's random source; false when it
// cannot.
bool cli_random_bytes(uint8_t *buf, size_t n);

#endif
