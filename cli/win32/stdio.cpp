// Windows opens standard streams in text mode; the codecs need raw bytes.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "cli/platform.h"

void cli_binary_stdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}
