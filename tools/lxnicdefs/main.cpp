// lxnicdefs: a tool for people who write definitions files.
//
//   lxnicdefs check FILE   the computed and the stored checksum, whether they
//                          match, and whether the file loads (and why not)
//   lxnicdefs stamp FILE   rewrites the csum value so that the file passes,
//                          leaving every other byte as it was; a file that
//                          would still not load is left alone (--force
//                          stamps it all the same, with a warning)
//
// Exit codes: tools/common/exit_codes.h (0 success, 1 failed, 2 usage).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "exit_codes.h"
#include "file_problems.h"
#include "platform/platform.h"

#ifndef LXNICDEFS_VERSION
#define LXNICDEFS_VERSION "1.0.0"
#endif

using namespace lxniccfg;
using namespace lxtools;

namespace {

std::string CannotRead(const std::string &file) {
    std::string why = WhyCannotRead(file);
    return "cannot read " + file + (why.empty() ? "" : ": " + why);
}

// Why the file does not load, or empty when it does. The XML library must be
// initialised.
std::string LoadProblem(const std::string &file, uint32_t &result) {
    DefinitionsCatalog catalog;
    LoadDiagnostics diagnostics;
    result = LoadDefinitionsInto(DualString::fromUtf8(file), catalog, &diagnostics);
    if (result == 0) return {};
    if (diagnostics.parseFailed) {
        return "line " + std::to_string(diagnostics.line) + ", column " + std::to_string(diagnostics.column) + ": " +
               diagnostics.message;
    }
    if (!diagnostics.definitionType.empty() || !diagnostics.message.empty()) {
        return "inconsistent links in definition \"" + diagnostics.definitionType + "\": " + diagnostics.message;
    }
    return "result " + std::to_string(result);
}

const char *ResultMeaning(uint32_t code) {
    switch (code) {
    case 0: return "loads";
    case 100: return "does not load";
    case 101: return "checksum missing or wrong";
    case 102: return "file missing or unreadable";
    case 103: return "the XML library could not be initialised";
    default: return "unexpected result";
    }
}

int Check(const std::string &file) {
    std::optional<ChecksumScan> scan = ScanChecksums(file);
    if (!scan) {
        std::cerr << "lxnicdefs: " << CannotRead(file) << "\n";
        return kExitFailed;
    }
    const std::string computed = FormatChecksum(scan->plainSum, scan->weightedSum);
    std::optional<std::string_view> after = TextAfterChecksumAttribute(scan->header);
    std::cout << "file:     " << file << "\n";
    std::cout << "computed: " << computed << "\n";
    uint32_t checksumResult = 101;
    if (!after) {
        std::cout << "stored:   (none: the first tag has no csum='...' attribute)\n";
        std::cout << "checksum: missing\n";
    } else {
        const std::string stored = FilterChecksumText(*after);
        std::cout << "stored:   " << stored << "\n";
        if (stored == computed) {
            checksumResult = 0;
            std::cout << "checksum: matches\n";
        } else if (stored == kWildcardChecksum) {
            checksumResult = 0;
            std::cout << "checksum: wildcard (passes any content)\n";
        } else {
            std::cout << "checksum: DOES NOT MATCH (run: lxnicdefs stamp " << file << ")\n";
        }
    }

    XmlLibrarySession xml;
    if (!xml.ok()) {
        std::cerr << "lxnicdefs: the XML library could not be initialised\n";
        return kExitFailed;
    }
    DefinitionsCatalog catalog;
    LoadDiagnostics diagnostics;
    uint32_t loadResult = LoadDefinitionsInto(DualString::fromUtf8(file), catalog, &diagnostics);
    std::cout << "load:     " << loadResult << " (" << ResultMeaning(loadResult);
    if (diagnostics.parseFailed) {
        std::cout << ": line " << diagnostics.line << ", column " << diagnostics.column << ": "
                  << diagnostics.message;
    } else if (!diagnostics.definitionType.empty() || !diagnostics.message.empty()) {
        std::cout << ": inconsistent links in definition \"" << diagnostics.definitionType
                  << "\": " << diagnostics.message;
    } else if (loadResult == 0) {
        std::string types;
        int count = 0;
        for (int i = 0; i < DefinitionsCatalog::kSlots && catalog.slot(i); ++i, ++count)
            types += (count ? ", " : "") + catalog.slot(i)->type.narrowText();
        std::cout << ": " << count << " definition" << (count == 1 ? "" : "s")
                  << (count ? " (" + types + ")" : "");
    }
    std::cout << ")\n";
    uint32_t result = checksumResult != 0 ? checksumResult : loadResult;
    std::cout << "InitXml:  " << result << " (" << ResultMeaning(result) << ")\n";
    return result == 0 ? kExitOk : kExitFailed;
}

int Stamp(const std::string &file, bool force) {
    std::optional<ChecksumScan> scan = ScanChecksums(file);
    if (!scan) {
        std::cerr << "lxnicdefs: " << CannotRead(file) << "\n";
        return kExitFailed;
    }
    std::optional<std::string_view> after = TextAfterChecksumAttribute(scan->header);
    if (!after) {
        std::cerr << "lxnicdefs: " << file
                  << ": the first tag has no csum='...' attribute within its first 4,095 bytes;"
                     " add csum='000000-000000' to it and stamp again\n";
        return kExitFailed;
    }
    std::size_t close = after->find('\'');
    if (close == std::string_view::npos) {
        std::cerr << "lxnicdefs: " << file << ": the csum value has no closing quote in the first tag\n";
        return kExitFailed;
    }
    if (!FilterChecksumText(after->substr(close)).empty()) {
        std::cerr << "lxnicdefs: " << file
                  << ": the first tag holds digits, A-F or '-' after the csum value, which would join"
                     " the checksum; move csum to the end of the first tag\n";
        return kExitFailed;
    }
    const std::string computed = FormatChecksum(scan->plainSum, scan->weightedSum);
    const std::string old(after->substr(0, close));
    if (old == computed) {
        std::cout << file << ": checksum " << computed << " is up to date\n";
        return kExitOk;
    }

    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string bytes = buffer.str();
    std::size_t at = bytes.find("csum='", scan->headerRawOffset);
    std::size_t end = at == std::string::npos ? at : bytes.find('\'', at + 6);
    if (!in || end == std::string::npos) {
        std::cerr << "lxnicdefs: " << CannotRead(file) << "\n";
        return kExitFailed;
    }
    bytes.replace(at + 6, end - (at + 6), computed);

    // The stamped text is loaded from a temporary copy first: a checksum
    // that passes on a file that does not load would only hide the fault.
    std::string problem;
    {
        XmlLibrarySession xml;
        if (!xml.ok()) {
            std::cerr << "lxnicdefs: the XML library could not be initialised\n";
            return kExitFailed;
        }
        std::random_device random;
        std::error_code error;
        std::filesystem::path copy =
            std::filesystem::temp_directory_path(error) / ("lxnicdefs-" + std::to_string(random()) + ".xml");
        {
            std::ofstream tmp(copy, std::ios::binary);
            tmp << bytes;
            if (!tmp.flush()) {
                std::cerr << "lxnicdefs: cannot write a temporary copy " << copy.string() << ": "
                          << WhyCannotWrite(copy.string()) << "\n";
                std::filesystem::remove(copy, error);
                return kExitFailed;
            }
        }
        uint32_t result = 0;
        problem = LoadProblem(copy.string(), result);
        std::filesystem::remove(copy, error);
    }
    if (!problem.empty() && !force) {
        std::cerr << "lxnicdefs: " << file << " does not load (" << problem
                  << "); it was not stamped. Fix it and stamp again, or stamp it anyway with --force\n";
        return kExitFailed;
    }

    platform::AtomicOutputFile out;
    if (!out.open(file) || !out.write(bytes) || !out.commit()) {
        std::string why = WhyCannotWrite(file);
        std::cerr << "lxnicdefs: cannot write " << file << (why.empty() ? "" : ": " + why) << "\n";
        return kExitFailed;
    }
    ChecksumSet check;
    check.path = DualString::fromUtf8(file);
    if (ReadChecksums(check) != 0 || CompareChecksums(check) != 0) {
        std::cerr << "lxnicdefs: " << file << ": stamped, but the checksum still does not pass\n";
        return kExitFailed;
    }
    std::cout << file << ": checksum " << (old.empty() ? "(empty)" : old) << " -> " << computed << "\n";
    if (!problem.empty()) {
        std::cout << std::flush;
        std::cerr << "lxnicdefs: WARNING: " << file << " was stamped with --force but DOES NOT LOAD: " << problem
                  << "\n";
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Checks and stamps definitions files."};
    app.name("lxnicdefs");
    app.require_subcommand(1);
    app.footer(ExitCodeHelp());
    app.set_help_all_flag("--help-all", "Help for every command and its options");
    app.set_version_flag("-V,--version", "lxnicdefs " LXNICDEFS_VERSION);
    std::string file;
    bool force = false;
    CLI::Validator notEmpty(
        [](std::string &value) { return value.empty() ? std::string("must not be empty") : std::string(); },
        "");
    CLI::App *check = app.add_subcommand(
        "check", "Show the computed and the stored checksum and whether the file loads");
    check->add_option("FILE", file, "definitions file")->required()->check(notEmpty);
    CLI::App *stamp = app.add_subcommand("stamp", "Rewrite the csum value so that the file passes");
    stamp->add_option("FILE", file, "definitions file")->required()->check(notEmpty);
    stamp->add_flag("--force", force, "Stamp a file that does not load (with a warning)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::cerr << "lxnicdefs: " << e.what() << " (see lxnicdefs --help)\n";
        return kExitUsage;
    }
    try {
        if (check->parsed()) return Check(file);
        return Stamp(file, force);
    } catch (const std::exception &e) {
        std::cerr << "lxnicdefs: " << e.what() << "\n";
        return kExitFailed;
    }
}
