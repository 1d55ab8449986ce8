#include "support/child.h"

#include <stdio.h>
#include <stdlib.h>

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

#include "orbek_util.h"

namespace testchild {

std::string self_path() {
    char *p = orbek_getexepath();
    std::string s = p ? p : "";
    orbek_free(p);
    return s;
}

int run(const std::string &program, const std::vector<std::string> &args) {
    fflush(stdout);
    fflush(stderr);
#ifdef _WIN32
    // The C runtime joins the arguments into one command line: quote them.
    std::vector<std::string> quoted;
    quoted.push_back("\"" + program + "\"");
    for (const std::string &a : args) quoted.push_back("\"" + a + "\"");
    std::vector<const char *> argv;
    for (const std::string &a : quoted) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    intptr_t rc = _spawnv(_P_WAIT, program.c_str(), argv.data());
    return rc < 0 ? -1 : (int)rc;
#else
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

void set_env(const char *name, const std::string &value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

std::string read_text(const std::string &path) {
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    // Reports are text files: read them the same way on every platform.
    std::string text;
    for (char c : out)
        if (c != '\r') text += c;
    return text;
}

std::string temp_path(const std::string &stem) {
#ifdef _WIN32
    int pid = _getpid();
#else
    int pid = (int)getpid();
#endif
    return stem + "." + std::to_string(pid) + ".tmp";
}

}  // namespace testchild
