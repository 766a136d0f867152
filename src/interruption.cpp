#include "interruption.h"

#include <dlfcn.h>

#include "algorithms.h"

namespace {

using CurrentThd = void* (*)();
using KillLevel = int (*)(const void*);
using KilledErrno = int (*)(void*);
using ErrorNumber = int (*)(const void*);
using RaiseError = void (*)(unsigned int, unsigned long, ...);

// MariaDB's functions for the statement of the calling thread. current_thd
// and kill_level are both there or both null; the others may be missing
// alone (killed_errno is the member THD::killed_errno(), called with the
// THD as its only argument).
struct ServerHooks {
    CurrentThd current_thd;
    KillLevel kill_level;
    KilledErrno killed_errno;
    ErrorNumber error_number;
    RaiseError raise_error;
};

template <typename Function>
Function server_function(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

// Set once, at the first question, and never changed.
const ServerHooks& server_hooks() {
    static const ServerHooks hooks = [] {
        ServerHooks found{server_function<CurrentThd>("_current_thd"),
                          server_function<KillLevel>("thd_kill_level"),
                          server_function<KilledErrno>("_ZN3THD12killed_errnoEv"),
                          server_function<ErrorNumber>("thd_get_error_number"),
                          server_function<RaiseError>("my_error")};
        if (found.current_thd == nullptr || found.kill_level == nullptr) return ServerHooks{};
        return found;
    }();
    return hooks;
}

void* current_thd() {
    const ServerHooks& hooks = server_hooks();
    return hooks.current_thd == nullptr ? nullptr : hooks.current_thd();
}

// The server's errors for a killed statement whose messages take no
// arguments: interrupted (1317), statement time exceeded (1969), shutdown in
// progress (1053), connection killed (1927). Any other kill (the memory
// limit's 1290 wants an argument) is reported as interrupted.
constexpr int kQueryInterrupted = 1317;

int reportable_kill_error(int code) {
    switch (code) {
        case 0:
        case 1317:
        case 1969:
        case 1053:
        case 1927:
            return code;
        default:
            return kQueryInterrupted;
    }
}

}  // namespace

namespace likeness {

bool statement_killed() {
    const void* thd = current_thd();
    return thd != nullptr && server_hooks().kill_level(thd) != 0;
}

void report_kill() {
    void* thd = current_thd();
    const ServerHooks& hooks = server_hooks();
    if (thd == nullptr || hooks.kill_level(thd) == 0 || hooks.raise_error == nullptr) return;
    const int code = reportable_kill_error(hooks.killed_errno == nullptr ? kQueryInterrupted
                                                                         : hooks.killed_errno(thd));
    // 0 is a stop that is no error (LIMIT ROWS EXAMINED); a statement that
    // failed already keeps its first error.
    if (code == 0 || (hooks.error_number != nullptr && hooks.error_number(thd) != 0)) return;
    hooks.raise_error(static_cast<unsigned int>(code), 0ul);
}

}  // namespace likeness
