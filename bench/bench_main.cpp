// lxniccfg_bench: the library's speed and memory figures, each a ratio
// against a baseline measured in the same run on generated inputs.
//
//   lxniccfg_bench [--quick] [--sizes=1,8,64] [--only=load,process,script,panel]
//   lxniccfg_bench [--sizes=1,8,64] --write-files=DIR
//
// --quick runs fewer rounds; --sizes picks the definitions files (in MB);
// --only picks the groups of figures; --write-files writes the definitions
// files of every family to DIR and does nothing else. Run under bench/callgrind.sh it counts
// instructions instead of time.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "definitions/checksum.h"
#include "script/script_writer.h"
#include "generators.h"
#include "harness.h"
#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"

namespace {

struct Options {
    bool quick = false;
    std::vector<int> sizes{1, 8, 64};
    std::set<std::string> only{"load", "process", "script", "panel"};
    std::string writeTo;  // --write-files=DIR: only write the definitions files there
};

// The definitions files: the benchmark's first, compact family and files
// shaped like the ones vendors write.
struct Family {
    const char *name;   // in labels
    const char *title;  // in the report
    std::string (*make)(std::size_t bytes);
};

const Family kFamilies[] = {
    {"compact", "compact family (short properties, 64 definitions)",
     [](std::size_t bytes) { return bench::DefinitionsDocument(bytes); }},
    {"real", "realistic family (every attribute, realistic texts, rules, CR LF)",
     [](std::size_t bytes) { return bench::RealisticDocument(bytes, false); }},
    {"real1", "realistic family, one definition holding most properties",
     [](std::size_t bytes) { return bench::RealisticDocument(bytes, true); }},
};

std::string g_dir;
int g_missed = 0;

std::string WriteFile(const std::string &name, const std::string &bytes) {
    std::string path = g_dir + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::u16string Wide(const std::string &text) { return nicif_double::Utf16(text); }

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// A bare SAX parse: Xerces-C with a handler that does nothing.
void BareParse(const std::string &path) {
    xercesc::SAXParser parser;
    xercesc::HandlerBase handler;
    parser.setValidationScheme(xercesc::SAXParser::Val_Never);
    parser.setDoNamespaces(false);
    parser.setDoSchema(false);
    parser.setLoadExternalDTD(false);
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    parser.parse(path.c_str());
}

void ChecksumPass(const std::string &path) {
    lxniccfg::ChecksumSet set;
    set.path = lxniccfg::DualString::fromUtf8(path);
    if (lxniccfg::ReadChecksums(set) != 0) std::abort();
}

void Verdict(const char *what, double value, double limit, const char *unit = "x") {
    bool met = value <= limit;
    if (!bench::UnderCallgrind()) {
        std::printf("  %-58s %8.2f%s  (target <= %.1f%s) %s\n", what, value, unit, limit, unit,
                    met ? "met" : "MISSED");
        if (!met) ++g_missed;
    }
}

void Report(const char *what, double seconds) {
    if (!bench::UnderCallgrind()) std::printf("  %-58s %10.3f ms\n", what, seconds * 1e3);
}

void ReportMicro(const char *what, double seconds) {
    if (!bench::UnderCallgrind()) std::printf("  %-58s %10.3f us\n", what, seconds * 1e6);
}

void InitXmlFigures(const Options &o) {
    std::printf("InitXml against a bare SAX parse (and against the bare parse plus the checksum pass)\n");
    for (const Family &family : kFamilies) {
        std::printf(" %s\n", family.title);
        std::vector<double> perSize;
        for (int mb : o.sizes) {
            std::string doc = family.make(static_cast<std::size_t>(mb) << 20);
            std::string path = WriteFile(std::string(family.name) + std::to_string(mb) + ".xml", doc);
            std::u16string wide = Wide(path);
            const int rounds = o.quick ? 2 : (mb >= 64 ? 4 : 7);
            const int inner = mb >= 8 ? 1 : 4;
            std::string label = "InitXml_" + std::string(family.name) + "_" + std::to_string(mb) + "MB";
            bench::Pair p = bench::Compare(
                label, rounds, inner,
                [&] {
                    if (InitXml(wide.c_str()) != 0) std::abort();
                },
                [&] { BareParse(path); }, [] { CloseXml(0); });
            double checksum = bench::Fastest(label + "/checksum", rounds, inner, [&] { ChecksumPass(path); });
            if (bench::UnderCallgrind()) continue;
            std::printf("  %d MB (%zu bytes)\n", mb, doc.size());
            Report("InitXml", p.subjectSeconds);
            Report("bare parse", p.baselineSeconds);
            Report("the checksum pass alone", checksum);
            Verdict("InitXml / bare parse", p.ratio(), 1.2);
            std::printf("  %-58s %8.2fx\n", "InitXml / (bare parse + checksum pass)",
                        p.subjectSeconds / (p.baselineSeconds + checksum));
            int64_t peak = bench::PeakHeapGrowth([&] {
                if (InitXml(wide.c_str()) != 0) std::abort();
            });
            CloseXml(0);
            std::printf("  %-58s %8.2fx the file (%.1f MB)\n", "peak heap growth of InitXml",
                        static_cast<double>(peak) / static_cast<double>(doc.size()),
                        static_cast<double>(peak) / (1 << 20));
            perSize.push_back(p.subjectSeconds);
        }
        if (perSize.size() == o.sizes.size() && o.sizes.front() == 1 && o.sizes.back() == 64)
            Verdict("InitXml time 64 MB / 1 MB", perSize.back() / perSize.front(), 70);
    }
}

// One run of a program: its wall time and its peak resident set.
struct ProcessRun {
    double seconds = 0;
    double peakBytes = 0;
};

// The program runs under /usr/bin/time, which reports its peak resident set:
// a child of this (large) process would count this process's pages as its
// own until it starts the program.
ProcessRun RunProcess(const std::vector<std::string> &args) {
    const std::string report = g_dir + "/peak-rss";
    std::vector<std::string> command = {"/usr/bin/time", "-f", "%M", "-o", report};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (const std::string &a : command) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed\n", args.front().c_str(), args.back().c_str());
        std::exit(1);
    }
    ProcessRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    double kilobytes = 0;
    std::ifstream(report) >> kilobytes;
    run.peakBytes = kilobytes * 1024.0;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string ProgramBeside(const char *name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

bool OnPath(const char *program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void ProcessFigures(const Options &o) {
    if (bench::UnderCallgrind()) return;
    std::printf("Whole processes: lxniccfg_load (InitXml, CloseXml) against SAXCount -v=never on the same file\n");
    if (!OnPath("/usr/bin/SAXCount") || !OnPath("/usr/bin/time")) {
        std::printf("  SAXCount or /usr/bin/time is not installed (Debian packages libxerces-c-samples, time): skipped\n");
        ++g_missed;
        return;
    }
    const std::string loader = ProgramBeside("lxniccfg_load");
    const std::string saxCountProgram = "/usr/bin/SAXCount";
    for (const Family &family : kFamilies) {
        std::printf(" %s\n", family.title);
        const bool realistic = std::string(family.name) != "compact";
        for (int mb : o.sizes) {
            std::string doc = family.make(static_cast<std::size_t>(mb) << 20);
            std::string path = WriteFile(std::string(family.name) + std::to_string(mb) + ".xml", doc);
            doc.clear();
            doc.shrink_to_fit();
            const double size = static_cast<double>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg());
            const int runs = o.quick ? 3 : (mb >= 64 ? 7 : mb >= 8 ? 11 : 21);
            std::vector<double> load, saxCount, loadPeak, parsePeak, saxCountPeak;
            // Runs alternate, so that load elsewhere on the machine falls on
            // all three alike; one warm-up run each is not counted.
            for (int r = -1; r < runs; ++r) {
                ProcessRun a = RunProcess({loader, path});
                ProcessRun b = RunProcess({saxCountProgram, "-v=never", path});
                ProcessRun c = RunProcess({loader, "--parse-only", path});
                if (r < 0) continue;
                load.push_back(a.seconds);
                saxCount.push_back(b.seconds);
                loadPeak.push_back(a.peakBytes);
                saxCountPeak.push_back(b.peakBytes);
                parsePeak.push_back(c.peakBytes);
            }
            std::printf("  %d MB (%.0f bytes), median of %d runs\n", mb, size, runs);
            Report("lxniccfg_load", Median(load));
            Report("SAXCount", Median(saxCount));
            Verdict("lxniccfg_load / SAXCount", Median(load) / Median(saxCount), realistic ? 1.3 : 99);
            std::printf("  %-58s %8.1f MB (SAXCount %.1f MB, bare parse %.1f MB)\n", "peak RSS of lxniccfg_load",
                        Median(loadPeak) / (1 << 20), Median(saxCountPeak) / (1 << 20),
                        Median(parsePeak) / (1 << 20));
            const double extra = (Median(loadPeak) - Median(parsePeak)) / size;
            if (realistic) Verdict("(peak RSS - peak RSS of the bare parse) / file size", extra, 1.0);
            else std::printf("  %-58s %8.2fx\n", "(peak RSS - peak RSS of the bare parse) / file size", extra);
        }
    }
}

void ScriptFigures(const Options &o) {
    std::printf("Script files: 256 NICs, 64 teams, 1,024 VLANs\n");
    bench::Configuration config(256, 64, 1024);
    std::string scriptPath = g_dir + "/script.xml";
    std::u16string wideScript = Wide(scriptPath);
    if (WriteXmlScriptFile(config.teams, config.nics, wideScript.c_str(), 0, 0) != 0) std::abort();
    std::string bytes;
    {
        std::ifstream in(scriptPath, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        bytes = buffer.str();
    }
    // Each run takes a few milliseconds, most of it in the kernel when a
    // file is flushed to disk, whose time varies from run to run: the
    // fastest of many rounds is what is compared.
    const int rounds = o.quick ? 3 : 60;

    ScriptConfig *tree = nullptr;
    bench::Pair read = bench::Compare(
        "ReadXmlScriptFile", rounds, 5,
        [&] {
            char *message = nullptr;
            if (ReadXmlScriptFile(&tree, wideScript.c_str(), &message) != 0) {
                std::fprintf(stderr, "script rejected: %s\n", message ? message : "");
                std::abort();
            }
        },
        [&] { BareParse(scriptPath); },
        [&] {
            testing_support::FreeScriptConfig(tree);
            tree = nullptr;
        });

    std::string outPath = g_dir + "/written.xml";
    std::u16string wideOut = Wide(outPath);
    std::string copyPath = g_dir + "/copy.xml";
    bench::Pair write = bench::Compare(
        "WriteXmlScriptFile", rounds, 5,
        [&] {
            if (WriteXmlScriptFile(config.teams, config.nics, wideOut.c_str(), 0, 0) != 0) std::abort();
        },
        [&] {
            FILE *f = std::fopen(copyPath.c_str(), "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
            std::fclose(f);
        });
    // The library replaces a script file only once its bytes are on disk
    // (written to a fresh file, flushed with fsync, then renamed): the same
    // bytes written that way show what that durability costs by itself.
    bench::Pair durable = bench::Compare(
        "WriteXmlScriptFile_durable", rounds, 5,
        [&] {
            if (WriteXmlScriptFile(config.teams, config.nics, wideOut.c_str(), 0, 0) != 0) std::abort();
        },
        [&] {
            std::string temp = copyPath + ".new";
            FILE *f = std::fopen(temp.c_str(), "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
            if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) std::abort();
            std::fclose(f);
            if (std::rename(temp.c_str(), copyPath.c_str()) != 0) std::abort();
        });
    lxniccfg::ScriptOptions options;
    options.utilityVersion = "9.2.0.1";
    double compose = bench::Fastest("ComposeScript", rounds, 5, [&] {
        if (lxniccfg::ComposeScript(config.teams, config.nics, options).size() != bytes.size()) std::abort();
    });
    if (bench::UnderCallgrind()) return;
    std::printf(" script of %zu bytes\n", bytes.size());
    Report("ReadXmlScriptFile (tree released outside the figure)", read.subjectSeconds);
    Report("bare parse", read.baselineSeconds);
    Verdict("ReadXmlScriptFile / bare parse", read.ratio(), 1.2);
    Report("WriteXmlScriptFile", write.subjectSeconds);
    Report("the same bytes with one fwrite", write.baselineSeconds);
    std::printf("  %-58s %8.2fx\n", "WriteXmlScriptFile / one fwrite", write.ratio());
    Report("  of which composing the document", compose);
    Verdict("WriteXmlScriptFile / (fwrite, fsync, rename)", durable.ratio(), 1.2);
    std::printf("  %-58s %8.2fx\n", "(composing + one fwrite) / one fwrite",
                (compose + write.baselineSeconds) / write.baselineSeconds);
}

void PanelFigures(const Options &o) {
    std::printf("GetPanelData: a 200-item panel, definitions of 100 and 10,000 properties\n");
    constexpr int kItems = 200;
    // Both definitions in one file, so that both are loaded at once and
    // their runs can alternate.
    std::string small = bench::PanelDefinitions("BenchNicSmall", 100, kItems);
    std::string large = bench::PanelDefinitions("BenchNicLarge", 10000, kItems);
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<lxnicdefs version=\"1.0\" csum='112233-224466'>\n" +
                      small + large + "</lxnicdefs>\n";
    std::u16string path = Wide(WriteFile("panel.xml", doc));
    if (InitXml(path.c_str()) != 0) std::abort();

    nicif_double::Nic().reset();
    for (int i = 1; i <= 10000; ++i) {
        nicif_double::Nic().value("NicIfGetAdapterProperty", 1, static_cast<uint32_t>(i), u"42", false);
        nicif_double::Nic().value("NicIfGetAdapterProperty", 2, static_cast<uint32_t>(i), u"42", false);
    }
    AdapterEntry smallNic{}, largeNic{};
    smallNic.handle = 1;
    smallNic.definitionType = testing_support::Text("BenchNicSmall");
    largeNic.handle = 2;
    largeNic.definitionType = testing_support::Text("BenchNicLarge");
    auto read = [](AdapterEntry &nic) {
        PanelEntry *list = nullptr;
        if (GetPanelData(&nic, u"Advanced", &list) != 0) std::abort();
        testing_support::FreeEntries(list);
    };
    const int rounds = o.quick ? 3 : 15;
    bench::Pair p = bench::Compare(
        "GetPanelData", rounds, 50, [&] { read(largeNic); }, [&] { read(smallNic); },
        [] { nicif_double::Nic().clearCalls(); });
    nicif_double::Nic().clearCalls();
    std::free(smallNic.definitionType);
    std::free(largeNic.definitionType);
    CloseXml(0);
    if (bench::UnderCallgrind()) return;
    ReportMicro("GetPanelData per item, 10,000 properties", p.subjectSeconds / kItems);
    ReportMicro("GetPanelData per item, 100 properties", p.baselineSeconds / kItems);
    Verdict("time per item, 10,000 / 100 properties", p.ratio(), 1.5);
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--quick") {
            o.quick = true;
        } else if (arg.rfind("--sizes=", 0) == 0) {
            o.sizes.clear();
            std::stringstream list(arg.substr(8));
            std::string item;
            while (std::getline(list, item, ',')) o.sizes.push_back(std::stoi(item));
        } else if (arg.rfind("--write-files=", 0) == 0) {
            o.writeTo = arg.substr(14);
        } else if (arg.rfind("--only=", 0) == 0) {
            o.only.clear();
            std::stringstream list(arg.substr(7));
            std::string item;
            while (std::getline(list, item, ',')) o.only.insert(item);
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--sizes=1,8,64] [--only=load,process,script,panel]\n"
                         "       %s [--sizes=1,8,64] --write-files=DIR\n",
                         argv[0], argv[0]);
            return 2;
        }
    }
    if (!o.writeTo.empty()) {
        // The inputs, for measuring them with other tools (BENCHMARKS.md).
        for (const Family &family : kFamilies)
            for (int mb : o.sizes) {
                std::string path = o.writeTo + "/" + family.name + std::to_string(mb) + ".xml";
                std::string doc = family.make(static_cast<std::size_t>(mb) << 20);
                std::ofstream(path, std::ios::binary).write(doc.data(), static_cast<std::streamsize>(doc.size()));
                std::printf("%s\n", path.c_str());
            }
        return 0;
    }
    char dirTemplate[] = "/tmp/lxniccfg-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) return 1;
    g_dir = dirTemplate;
    // The script writer reads these; fixed values keep the output the same
    // from run to run.
    setenv("LANG", "C", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_CTYPE");
    setenv("LXNICUI_VERSION", "9.2.0.1", 1);
    setenv("LXNICCFG_REGISTRY_ROOT", (g_dir + "/registry").c_str(), 1);
    xercesc::XMLPlatformUtils::Initialize();

    std::printf("load average at start: %s\n", LoadAverage().c_str());
    if (o.only.count("load")) InitXmlFigures(o);
    if (o.only.count("process")) ProcessFigures(o);
    if (o.only.count("script")) ScriptFigures(o);
    if (o.only.count("panel")) PanelFigures(o);
    std::printf("load average at end: %s\n", LoadAverage().c_str());

    xercesc::XMLPlatformUtils::Terminate();
    std::string cleanup = "rm -rf '" + g_dir + "'";
    if (std::system(cleanup.c_str()) != 0) return 1;
    if (!bench::UnderCallgrind())
        std::printf(g_missed ? "%d target(s) missed\n" : "all targets met\n", g_missed);
    return 0;
}
