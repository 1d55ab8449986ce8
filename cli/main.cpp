// orbek: the library's command-line tool.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

static const orbek_command kCommands[] = {
    {"version", "version", cmd_version},
    {"utf", "utf FROM TO [FILE]", cmd_utf},
    {"sysinfo", "sysinfo", cmd_sysinfo},
    {"base64", "base64 [-d] [--url] [--no-pad] [--wrap N|--no-wrap] [--crlf|--lf|--cr] [FILE]", cmd_base64},
    {"pem", "pem encode|decode LABEL [FILE]", cmd_pem},
    {"hex", "hex [-d] [-u] [FILE]", cmd_hex},
    {"time", "time now|fromtime_t|totime_t|add|diff|weekday|convert|zones ...", cmd_time},
    {"json", "json [--check] [--pretty] [--indent N] [--crlf] [--sort] [FILE]", cmd_json},
    {"norm", "norm nfc|nfd|nfkc|nfkd [FILE]", cmd_norm},
    {"casefold", "casefold [--nfkc] [FILE]", cmd_casefold},
    {"iconv", "iconv --from NAME --to NAME [FILE] | --list", cmd_iconv},
    {"idn", "idn toascii|tounicode [--allow-unassigned] [--std3] [--wildcard] NAME...", cmd_idn},
    {"ldapprep", "ldapprep --type 0|1|3|4|5 [TEXT]", cmd_ldapprep},
    {"digest", "digest [--sha1|--sha256|--sha512] [--hmac-key-file F] [FILE...]", cmd_digest},
    {"bigint", "bigint prime --bits N [--safe] [--fast] | calc OP A [B [M]]", cmd_bigint},
};

void cli_error(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    fputs("orbek: ", stderr);
    vfprintf(stderr, fmt, ap);
    fputc('\n', stderr);
    va_end(ap);
}

static void usage(FILE *out) {
    fputs("usage: orbek COMMAND [ARGS]\n"
          "       orbek --help | --version\n\ncommands:\n",
          out);
    for (const orbek_command &c : kCommands) fprintf(out, "  orbek %s\n", c.synopsis);
}

int cmd_version(int argc, char **argv) {
    if (argc != 1) {
        cli_error("version takes no arguments");
        return 2;
    }
    (void)argv;
    puts(orbek_util_version());
    return 0;
}

// Every way out that wrote to standard output checks that the writes
// reached it (a full disk, a closed pipe): exit 1 when they did not.
static int finish_output(int rc) {
    if (fflush(stdout) != 0 || ferror(stdout)) {
        cli_error("cannot write standard output");
        return 1;
    }
    return rc;
}

int main(int argc, char **argv) {
    // Every command writes its line ends itself (LF, or CR LF where an
    // option asks): no text-mode translation on Windows, which would turn
    // "--crlf" output into CR CR LF.
    cli_binary_stdio();
    if (!cli_debug_alloc_start()) return 1;
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        usage(stdout);
        return finish_output(0);
    }
    if (strcmp(argv[1], "--version") == 0) return finish_output(cmd_version(1, argv + 1));
    for (const orbek_command &c : kCommands)
        if (strcmp(argv[1], c.name) == 0) return finish_output(c.run(argc - 1, argv + 1));
    cli_error("unknown command '%s'", argv[1]);
    usage(stderr);
    return 2;
}
