// lxnicdefs: a tool for people who write definitions files.
//
//   lxnicdefs check FILE   the computed and the stored checksum, whether they
//                          match, and whether the file loads (and why not)
//   lxnicdefs stamp FILE   rewrites the csum value so that the file passes,
//                          leaving every other byte as it was
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "platform/platform.h"

using namespace lxniccfg;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

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
        std::cerr << "lxnicdefs: cannot read " << file << "\n";
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

int Stamp(const std::string &file) {
    std::optional<ChecksumScan> scan = ScanChecksums(file);
    if (!scan) {
        std::cerr << "lxnicdefs: cannot read " << file << "\n";
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
        std::cerr << "lxnicdefs: cannot read " << file << "\n";
        return kExitFailed;
    }
    bytes.replace(at + 6, end - (at + 6), computed);

    platform::AtomicOutputFile out;
    if (!out.open(file) || !out.write(bytes) || !out.commit()) {
        std::cerr << "lxnicdefs: cannot write " << file << "\n";
        return kExitFailed;
    }
    ChecksumSet check;
    check.path = DualString::fromUtf8(file);
    if (ReadChecksums(check) != 0 || CompareChecksums(check) != 0) {
        std::cerr << "lxnicdefs: " << file << ": stamped, but the checksum still does not pass\n";
        return kExitFailed;
    }
    std::cout << file << ": checksum " << (old.empty() ? "(empty)" : old) << " -> " << computed << "\n";
    return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Checks and stamps definitions files."};
    app.require_subcommand(1);
    std::string file;
    CLI::App *check = app.add_subcommand(
        "check", "Show the computed and the stored checksum and whether the file loads");
    check->add_option("FILE", file, "definitions file")->required();
    CLI::App *stamp = app.add_subcommand("stamp", "Rewrite the csum value so that the file passes");
    stamp->add_option("FILE", file, "definitions file")->required();
    CLI11_PARSE(app, argc, argv);
    try {
        if (check->parsed()) return Check(file);
        return Stamp(file);
    } catch (const std::exception &e) {
        std::cerr << "lxnicdefs: " << e.what() << "\n";
        return kExitFailed;
    }
}
