// orbek: the library's command-line tool.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
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
    {"iconv", "iconv --from NAME --to NAME [FILE] | --list", cmd_iconv},
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

int main(int argc, char **argv) {
    if (!cli_debug_alloc_start()) return 1;
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        usage(stdout);
        return 0;
    }
    if (strcmp(argv[1], "--version") == 0) return cmd_version(1, argv + 1);
    for (const orbek_command &c : kCommands)
        if (strcmp(argv[1], c.name) == 0) {
            int rc = c.run(argc - 1, argv + 1);
            if (fflush(stdout) != 0 || ferror(stdout)) {
                cli_error("cannot write standard output");
                return 1;
            }
            return rc;
        }
    cli_error("unknown command '%s'", argv[1]);
    usage(stderr);
    return 2;
}
