// The library's start-up sequence.  Each family adds its step to the table
// below in the place the attach order gives it.
#include "core/startup.h"

#include "core/util.h"
#include "thread/module.h"

#include <stddef.h>

namespace orbek {
namespace {

struct Step {
    bool (*attach)();
    void (*detach)();
};

// Attach order; detach runs the same steps backwards.
const Step kSteps[] = {
    {thread_module_startup, thread_module_teardown},
    {settings_read_recursive_level, nullptr},
    {settings_read_version, nullptr},
    {settings_register_gmp, nullptr},
    {tls_module_startup, tls_module_teardown},
    {condition_select, nullptr},
};
constexpr size_t kStepCount = sizeof kSteps / sizeof *kSteps;

size_t g_attached = 0;

}  // namespace

bool process_attach() noexcept {
    for (g_attached = 0; g_attached < kStepCount; ++g_attached) {
        const Step &s = kSteps[g_attached];
        if (s.attach && !s.attach()) {
            process_detach();
            return false;
        }
    }
    return true;
}

void process_detach() noexcept {
    while (g_attached > 0) {
        const Step &s = kSteps[--g_attached];
        if (s.detach) s.detach();
    }
}

void thread_attach() noexcept {}
void thread_detach() noexcept { tls_module_thread_detach(); }

}  // namespace orbek
