// Subcommands of the orbek tool.  Each takes the arguments after its name
// (argv[0] is the subcommand's name) and returns the exit code: 0 success,
// 1 failure (bad input, I/O), 2 bad usage.
#ifndef ORBEK_CLI_COMMANDS_H
#define ORBEK_CLI_COMMANDS_H

struct orbek_command {
    const char *name;
    const char *synopsis;  // shown by --help, after "orbek "
    int (*run)(int argc, char **argv);
};

int cmd_version(int argc, char **argv);
int cmd_utf(int argc, char **argv);
int cmd_sysinfo(int argc, char **argv);
int cmd_base64(int argc, char **argv);
int cmd_pem(int argc, char **argv);
int cmd_hex(int argc, char **argv);
int cmd_time(int argc, char **argv);
// The zone subcommands of "orbek time" (now --zone, convert, zones): the
// exit code, or -1 when op with these arguments is none of them.
int cmd_time_zone(const char *op, int nargs, char **args);
int cmd_json(int argc, char **argv);
int cmd_norm(int argc, char **argv);
int cmd_idn(int argc, char **argv);
int cmd_ldapprep(int argc, char **argv);
int cmd_casefold(int argc, char **argv);
int cmd_iconv(int argc, char **argv);
int cmd_digest(int argc, char **argv);
int cmd_bigint(int argc, char **argv);

// Switches the debug allocator on when ORBEK_DEBUG_ALLOC names a report
// file, written at exit; false (after a message) when it cannot be.
bool cli_debug_alloc_start();

// Shared by the subcommands: prints "orbek: <message>" to stderr.
void cli_error(const char *fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
