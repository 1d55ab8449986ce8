// Running a test program again as a child process, for checks that need a
// fresh process (library start-up, the debug allocator's process-wide
// state) or one that is allowed to die.
#ifndef ORBEK_TEST_CHILD_H
#define ORBEK_TEST_CHILD_H

#include <string>
#include <vector>

namespace testchild {

// This program's own path.
std::string self_path();
// Runs program with args (without argv[0]) and waits for it: its exit code,
// or -1 when it could not be started or did not exit normally.
int run(const std::string &program, const std::vector<std::string> &args);
// Sets an environment variable of this process (children inherit it); an
// empty value removes it.
void set_env(const char *name, const std::string &value);
// A text file's contents with any carriage returns dropped (empty when it
// cannot be read).
std::string read_text(const std::string &path);
// A path for a scratch file in the current folder, unique to this process.
std::string temp_path(const std::string &stem);

}  // namespace testchild

#endif
