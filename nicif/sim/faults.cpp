#include "faults.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform.h"

namespace lxnicsim {

namespace {

struct FaultPlan {
    std::string setting;  // the variable's text the plan was read from
    bool abort = false;
    long at = 0;          // 0: no fault
    long counted = 0;
};

}  // namespace

bool Faults::step(const char *name) {
    static std::mutex guard;
    static FaultPlan plan;
    std::lock_guard<std::mutex> hold(guard);
    const char *value = std::getenv("LXNICIF_FAULT");
    std::string setting = value ? value : "";
    if (setting != plan.setting) {
        plan = FaultPlan{};
        plan.setting = setting;
        std::size_t colon = setting.find(':');
        if (colon != std::string::npos) {
            std::string kind = setting.substr(0, colon);
            long at = std::strtol(setting.c_str() + colon + 1, nullptr, 10);
            if ((kind == "fail" || kind == "abort") && at > 0) {
                plan.abort = kind == "abort";
                plan.at = at;
            }
        }
    }
    if (plan.at == 0 || ++plan.counted != plan.at) return false;
    std::fprintf(stderr, "lxnicif: injected %s at commit step %ld (%s)\n",
                 plan.abort ? "abort" : "failure", plan.at, name);
    std::fflush(stderr);
    if (plan.abort) platform::KillSelf();
    return true;
}

}  // namespace lxnicsim
