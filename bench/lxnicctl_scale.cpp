// lxnicctl_scale: whether planning and applying a script cost the same per
// VLAN however large the script is. It builds a simulated server of many
// adapters and scripts that give each adapter N VLANs, runs lxnicctl as an
// administrator would, and prints the time per VLAN at two sizes and their
// ratio (1.0: linear; 4 at sizes four times apart: quadratic).
//
//   lxnicctl_scale [--adapters=64] [--sizes=512,4094] [--rounds=3] [--lxnicctl=PATH] [--keep=DIR]
//
// Three figures per size, each the fastest of --rounds runs:
//   plan    load --dry-run into a server without VLANs (every check, the
//           simulated server's staging in a transaction it drops);
//   apply   load into that server (checkpoint, commit, read-back);
//   compare load of the same script into the server that holds it ("no
//           changes": reading and comparing every VLAN).
// Time is the process's CPU time (user + system, from wait4), which a busy
// machine inflates far less than wall time; wall time and peak resident set
// are shown beside it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct Options {
    int adapters = 64;
    std::vector<int> sizes{512, 4094};
    int rounds = 3;
    std::string lxnicctl = LXNICCTL_PATH;
    std::string keep;  // --keep=DIR: the files stay there
};

struct Run {
    double cpuSeconds = 0, wallSeconds = 0, peakMegabytes = 0;
};

[[noreturn]] void Fail(const std::string &message) {
    std::fprintf(stderr, "lxnicctl_scale: %s\n", message.c_str());
    std::exit(1);
}

std::vector<int> Numbers(const std::string &text) {
    std::vector<int> out;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) out.push_back(std::atoi(item.c_str()));
    return out;
}

void Write(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write " + path.string());
}

// The default inventory's ten-gigabit adapter, `count` times over; no teams
// and no VLANs.
std::string ServerState(int count) {
    std::ifstream in(LXNICCFG_DEFAULT_INVENTORY);
    if (!in) Fail("cannot read " + std::string(LXNICCFG_DEFAULT_INVENTORY));
    nlohmann::ordered_json state = nlohmann::ordered_json::parse(in);
    nlohmann::ordered_json prototype;
    for (const auto &a : state["adapters"]) {
        if (a["definitionType"] == "VeltraneXGE") prototype = a;
    }
    nlohmann::ordered_json adapters = nlohmann::ordered_json::array();
    for (int i = 0; i < count; ++i) {
        nlohmann::ordered_json a = prototype;
        a["handle"] = 10001 + i;
        a["name"] = "eth" + std::to_string(i);
        a["team"] = 0;
        adapters.push_back(a);
    }
    state["adapters"] = adapters;
    state["teams"] = nlohmann::ordered_json::array();
    state["vlans"] = nlohmann::ordered_json::array();
    state["nextHandle"] = 20001;
    return state.dump(1) + "\n";
}

// A short-form script: every adapter with VLANs 1 to perAdapter, each named.
std::string Script(int adapters, int perAdapter) {
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<teamingconfig>\n"
                      "  <version UtilityVersion='1.0.0' ScriptVersion='3.1'/>\n";
    for (int a = 0; a < adapters; ++a) {
        out += "  <nic>\n";
        for (int v = 1; v <= perAdapter; ++v) {
            std::string id = std::to_string(v);
            out += "    <vlan><property id='VlanId' value='" + id + "'/><property id='VlanName' value='vlan" + id +
                   "'/></vlan>\n";
        }
        out += "  </nic>\n";
    }
    return out + "</teamingconfig>\n";
}

Run RunLxnicctl(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) Fail("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) Fail("lost " + args[0]);
    Run run;
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string line;
        for (const std::string &a : args) line += " " + a;
        Fail("failed:" + line);
    }
    auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

struct Figures {
    int vlans = 0;
    Run plan, apply, compare;
};

Run Fastest(const std::vector<Run> &runs) {
    return *std::min_element(runs.begin(), runs.end(),
                             [](const Run &a, const Run &b) { return a.cpuSeconds < b.cpuSeconds; });
}

Figures Measure(const Options &options, const fs::path &dir, int perAdapter) {
    Figures figures;
    figures.vlans = options.adapters * perAdapter;
    const fs::path script = dir / ("script-" + std::to_string(perAdapter) + ".xml");
    Write(script, Script(options.adapters, perAdapter));
    const std::string empty = ServerState(options.adapters);
    const fs::path state = dir / "state.json", stateDir = dir / "state.lxnicctl";
    auto fresh = [&] {
        fs::remove_all(stateDir);
        Write(state, empty);
    };
    auto load = [&](bool dryRun) {
        std::vector<std::string> args = {options.lxnicctl, "--state", state.string(), "--state-dir",
                                         stateDir.string(), "--quiet", "load", script.string()};
        if (dryRun) args.push_back("--dry-run");
        return RunLxnicctl(args);
    };
    std::vector<Run> plans, applies, compares;
    for (int round = 0; round < options.rounds; ++round) {
        fresh();
        plans.push_back(load(true));
        applies.push_back(load(false));
        compares.push_back(load(false));
    }
    figures.plan = Fastest(plans);
    figures.apply = Fastest(applies);
    figures.compare = Fastest(compares);
    fs::remove(script);
    return figures;
}

void PrintRow(const char *what, const Run &run, int vlans) {
    std::printf("  %-8s %8.2f s CPU %8.2f s wall %8.1f us CPU/VLAN %8.0f MB peak\n", what, run.cpuSeconds,
                run.wallSeconds, run.cpuSeconds * 1e6 / vlans, run.peakMegabytes);
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char *prefix) -> const char * {
            std::size_t n = std::strlen(prefix);
            return arg.compare(0, n, prefix) == 0 ? argv[i] + n : nullptr;
        };
        if (const char *v = value("--adapters=")) options.adapters = std::atoi(v);
        else if (const char *v = value("--sizes=")) options.sizes = Numbers(v);
        else if (const char *v = value("--rounds=")) options.rounds = std::max(1, std::atoi(v));
        else if (const char *v = value("--lxnicctl=")) options.lxnicctl = v;
        else if (const char *v = value("--keep=")) options.keep = v;
        else Fail("unknown argument " + arg + " (see the comment at the top of bench/lxnicctl_scale.cpp)");
    }
    if (options.sizes.size() != 2 || options.adapters < 1) Fail("--sizes takes two sizes, --adapters at least 1");
    for (int n : options.sizes) {
        if (n < 1 || n > 4094) Fail("a size is a number of VLANs per adapter, 1 to 4094");
    }

    fs::path dir = options.keep;
    if (dir.empty()) {
        char pattern[] = "/tmp/lxnicctl-scale-XXXXXX";
        if (mkdtemp(pattern) == nullptr) Fail("cannot create a temporary folder");
        dir = pattern;
    }
    fs::create_directories(dir);
    std::ifstream load("/proc/loadavg");
    std::string loadAverage;
    std::getline(load, loadAverage);
    std::printf("lxnicctl %s\n%d adapters, %d rounds each (fastest kept); load average %s\n",
                options.lxnicctl.c_str(), options.adapters, options.rounds, loadAverage.c_str());

    std::vector<Figures> all;
    for (int perAdapter : options.sizes) {
        Figures f = Measure(options, dir, perAdapter);
        std::printf("%d VLANs per adapter, %d VLANs:\n", perAdapter, f.vlans);
        PrintRow("plan", f.plan, f.vlans);
        PrintRow("apply", f.apply, f.vlans);
        PrintRow("compare", f.compare, f.vlans);
        std::fflush(stdout);
        all.push_back(f);
    }
    const Figures &small = all[0], &large = all[1];
    auto ratio = [&](const Run &a, const Run &b) {
        return (b.cpuSeconds / large.vlans) / (a.cpuSeconds / small.vlans);
    };
    std::printf("time per VLAN at %d VLANs / at %d VLANs (1.0 is linear; target <= 1.25):\n", large.vlans,
                small.vlans);
    std::printf("  plan %.2f   apply %.2f   compare %.2f\n", ratio(small.plan, large.plan),
                ratio(small.apply, large.apply), ratio(small.compare, large.compare));
    if (options.keep.empty()) fs::remove_all(dir);
    return 0;
}
