// Start-up and tear-down as an application's loader drives them (a child
// process loads a copy of the library built with the start-up seams), the
// per-thread last-error value, the monotonic clock and library loading.
#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "orbek_util.h"
#include "support/child.h"
#include "support/test_alloc.h"

namespace {

std::string build_dir() {
    std::string self = testchild::self_path();
    return self.substr(0, self.find_last_of("/\\") + 1);
}

std::vector<std::string> read_lines(const std::string &path) {
    std::vector<std::string> lines;
    std::string text = testchild::read_text(path), line;
    for (char c : text) {
        if (c != '\n') {
            line += c;
        } else {
            lines.push_back(line);
            line.clear();
        }
    }
    return lines;
}

std::string joined(const std::vector<std::string> &v) {
    std::string s;
    for (const std::string &e : v) s += e + " ";
    return s;
}

// The child loads the seamed library with step fail_step (0: none) failing
// and returns its exit code; *trace receives the recorded events.
int run_child(int fail_step, const char *mode, std::vector<std::string> *trace) {
    std::string path = testchild::temp_path("startup_trace");
    remove(path.c_str());
    testchild::set_env("ORBEK_TEST_TRACE", path);
    testchild::set_env("ORBEK_TEST_FAIL_STEP", fail_step ? std::to_string(fail_step) : "");
    int rc = testchild::run(build_dir() + ORBEK_STARTUP_CHILD, {build_dir() + ORBEK_SEAMS_LIB, path, mode});
    testchild::set_env("ORBEK_TEST_TRACE", "");
    testchild::set_env("ORBEK_TEST_FAIL_STEP", "");
    *trace = read_lines(path);
    remove(path.c_str());
    return rc;
}

const char *const kSteps[] = {"threads", "recursion", "version", "gmp", "tls",
                              "slot",    "cell",      "condition", "counter"};

// The attach events up to step n (1-based), all successful.
std::vector<std::string> attached(int n) {
    std::vector<std::string> v{"@load"};
    for (int i = 0; i < n; ++i) {
        if (std::string(kSteps[i]) == "cell") v.push_back("cell+");
        v.push_back(std::string("+") + kSteps[i]);
    }
    return v;
}

#ifdef _WIN32
const std::vector<std::string> kThreadEvents = {"+thread", "cell+", "-thread", "cell-"};
#else
// No thread-attach notification: the cell comes with the first use.
const std::vector<std::string> kThreadEvents = {"cell+", "-thread", "cell-"};
#endif

}  // namespace

TEST(Startup, AttachOrderThreadCellsAndDetach) {
    std::vector<std::string> trace;
    ASSERT_EQ(run_child(0, "run", &trace), 0) << joined(trace);
    std::vector<std::string> want = attached(9);
    want.push_back("@thread");
    want.insert(want.end(), kThreadEvents.begin(), kThreadEvents.end());
    for (const char *e : {"@joined", "-threads", "-slot", "cell-", "-tls", "@unloaded"}) want.push_back(e);
    EXPECT_EQ(joined(trace), joined(want));
}

TEST(Startup, FailingStepUndoesTheStepsBeforeIt) {
    // Steps that can fail, with the undo events that must follow.
    const struct {
        int step;
        std::vector<std::string> undo;
    } kCases[] = {
        {1, {}},
        {3, {"-threads"}},
        {5, {"-threads"}},
        {6, {"-tls", "-threads"}},
        {7, {"-slot", "-tls", "-threads"}},
    };
    for (const auto &c : kCases) {
        std::vector<std::string> trace;
        int rc = run_child(c.step, "run", &trace);
#ifdef _WIN32
        EXPECT_EQ(rc, 3) << "the DLL load must fail at step " << c.step;
#else
        // A constructor cannot refuse the load: start-up failure ends the process.
        EXPECT_EQ(rc, -1) << "the process must end at step " << c.step;
#endif
        std::vector<std::string> want = attached(c.step - 1);
        want.push_back(std::string("!") + kSteps[c.step - 1]);
        want.insert(want.end(), c.undo.begin(), c.undo.end());
        EXPECT_EQ(joined(trace), joined(want)) << "step " << c.step;
    }
}

TEST(Startup, WithoutCounterTheLibraryLoadsAndTheClockSaysSo) {
    std::vector<std::string> trace;
    ASSERT_EQ(run_child(9, "nocounter", &trace), 0) << joined(trace);
    std::vector<std::string> want = attached(8);
    want.push_back("!counter");
    ASSERT_GE(trace.size(), want.size());
    EXPECT_EQ(joined(std::vector<std::string>(trace.begin(), trace.begin() + (long)want.size())), joined(want));
}

TEST(LastError, KeptPerThread) {
    ASSERT_EQ(orbek_setlasterror(-5), 1);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &wrong] {
            if (orbek_getlasterror() != 0) ++wrong;  // a new thread starts at 0
            for (int i = 0; i < 300; ++i) {
                int32_t v = t * 100000 + i;
                if (orbek_setlasterror(v) != 1) ++wrong;
                std::this_thread::yield();
                if (orbek_getlasterror() != v) ++wrong;
            }
        });
    for (auto &th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(orbek_getlasterror(), -5);
    orbek_setlasterror(0);
}

TEST(MonotonicClock, NeverGoesBackAndFollowsASleep) {
    int64_t prev = orbek_time_getmonotonicns();
    ASSERT_NE(prev, INT64_MIN);
    for (int i = 0; i < 10000; ++i) {
        int64_t t = orbek_time_getmonotonicns();
        ASSERT_GE(t, prev);
        prev = t;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(orbek_time_getmonotonicns() - prev, 40 * 1000000LL);
}

namespace {
orbek_ustring *text(const std::string &s) {
    return orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(s.data()), (int32_t)s.size());
}
// The probe module's name without its suffix: the first try fails ("v1" is
// taken for the extension on Windows) and the second finds it.
std::string probe_name() { return build_dir() + "orbek_probe.v1"; }
}  // namespace

TEST(Dso, LoadsOnTheSecondTryAndFindsFunctions) {
    orbek_ustring *name = text(probe_name());
    ASSERT_NE(name, nullptr);
    orbek_dso *m = orbek_dso_load(name);
    orbek_ustring_free(name);
    ASSERT_NE(m, nullptr);
    auto answer = reinterpret_cast<int (*)()>(orbek_dso_getfunction(m, "orbek_probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(orbek_dso_getfunction(m, "orbek_probe_missing"), nullptr);
    EXPECT_EQ(orbek_dso_getfunction(m, nullptr), nullptr);
    EXPECT_EQ(orbek_dso_getfunction(nullptr, "orbek_probe_answer"), nullptr);
    EXPECT_NE(orbek_dso_free(m), 0);
    EXPECT_EQ(orbek_dso_free(nullptr), 0);

    EXPECT_EQ(orbek_dso_load(nullptr), nullptr);
    for (const std::string &bad : {build_dir() + "orbek_no_such_module", probe_name() + std::string(1, '\0') + "x"}) {
        orbek_ustring *s = text(bad);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(orbek_dso_load(s), nullptr) << bad;
        orbek_ustring_free(s);
    }
}

TEST(Dso, AllocationFailures) {
    orbek_ustring *name = text(probe_name());
    ASSERT_NE(name, nullptr);
    testalloc::sweep([&] {
        orbek_dso *m = orbek_dso_load(name);
        orbek_dso_free(m);
        // Without its default-charset name the load goes on in UTF-8 and may
        // still succeed: any failed allocation counts as a failed run here,
        // the point being that nothing leaks and nothing breaks.
        return m != nullptr && !testalloc::failure_hit();
    });
    orbek_ustring_free(name);
}
