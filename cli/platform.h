// The orbek tool's platform layer: one small function per need, defined in
// cli/posix/ and cli/win32/.
#ifndef ORBEK_CLI_PLATFORM_H
#define ORBEK_CLI_PLATFORM_H

// Switches standard input and output to binary mode, so that bytes pass
// through unchanged (no CR LF translation, no end at a Ctrl-Z byte).
void cli_binary_stdio();

#endif
