// POSIX standard streams are always binary.
#include "cli/platform.h"

void cli_binary_stdio() {}
