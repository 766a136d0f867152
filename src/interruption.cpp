#include "interruption.h"

#include <dlfcn.h>

namespace {

using CurrentThd = void* (*)();
using KillLevel = int (*)(const void*);

struct ServerHooks {
    CurrentThd current_thd;
    KillLevel kill_level;
};

// Set once, at the first question, and never changed.
const ServerHooks& server_hooks() {
    static const ServerHooks hooks = [] {
        const auto current_thd = reinterpret_cast<CurrentThd>(dlsym(RTLD_DEFAULT, "_current_thd"));
        const auto kill_level = reinterpret_cast<KillLevel>(dlsym(RTLD_DEFAULT, "thd_kill_level"));
        if (current_thd == nullptr || kill_level == nullptr) return ServerHooks{nullptr, nullptr};
        return ServerHooks{current_thd, kill_level};
    }();
    return hooks;
}

}  // namespace

namespace likeness {

bool statement_killed() {
    const ServerHooks& hooks = server_hooks();
    if (hooks.current_thd == nullptr) return false;
    const void* thd = hooks.current_thd();
    return thd != nullptr && hooks.kill_level(thd) != 0;
}

}  // namespace likeness
