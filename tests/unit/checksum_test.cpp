#include <gtest/gtest.h>

#include "definitions/checksum.h"
#include "support/test_files.h"

using namespace lxniccfg;
using testing_support::TempDir;

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

struct Outcome {
    uint32_t read;
    std::string computed;
    std::string stored;
    uint32_t compare;
};

Outcome Check(const TempDir &dir, const std::string &bytes) {
    ChecksumSet set;
    set.path = DualString::fromUtf8(dir.write("defs.xml", bytes));
    Outcome o{ReadChecksums(set), set.computed.narrowText(), set.stored.narrowText(), 101};
    if (o.read == 0) o.compare = CompareChecksums(set);
    return o;
}

// The pass as the text-mode definition gives it, one character at a time:
// the reference for the counter, which sums in bulk.
ChecksumScan ReferenceScan(const std::string &bytes) {
    std::size_t at = 0;
    bool eof = false;
    auto get = [&]() -> int {
        if (at >= bytes.size() || bytes[at] == 26) {
            eof = true;
            return -1;
        }
        const auto c = static_cast<unsigned char>(bytes[at++]);
        if (c == '\r' && at < bytes.size() && bytes[at] == '\n') {
            ++at;
            return '\n';
        }
        return c;
    };
    ChecksumScan scan;
    std::string line;
    while (line.size() < 511) {
        int c = get();
        if (c < 0) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    if (std::string_view(line.c_str()).find(kDeclaration) != std::string_view::npos) {
        scan.declarationSkipped = true;
        scan.headerRawOffset = at;
        if (eof) return scan;
    } else {
        at = 0;
        eof = false;
    }
    bool inHeader = true;
    uint32_t position = 0;
    do {
        int c = get();
        if (inHeader) {
            if (scan.header.size() < 4095) scan.header.push_back(static_cast<char>(c < 0 ? 255 : c));
            if (c == '>') inHeader = false;
        } else {
            scan.plainSum += static_cast<uint32_t>(c);
            scan.weightedSum += (position++ % 2 == 0 ? 2 : 1) * static_cast<uint32_t>(c);
        }
    } while (!eof);
    return scan;
}

}  // namespace

TEST(Checksum, CountsAlikeWhateverTheChunksTheFileIsReadIn) {
    // Line ends, lone CRs and Ctrl-Z at every offset against the chunk
    // borders, runs longer than the counter's bulk steps, every byte value.
    std::string noise;
    uint32_t x = 12345;
    for (int i = 0; i < 5000; ++i) {
        x = x * 1103515245 + 12345;
        noise.push_back(static_cast<char>((x >> 16) % 7 == 0 ? '\r' : (x >> 16) % 11 == 0 ? '\n' : (x >> 8)));
    }
    // Line ends at every offset of the counter's 16-byte blocks, CR before
    // CR LF, and CR LF split across blocks.
    std::string lines;
    for (int i = 0; i < 700; ++i) lines += std::string(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26)) + (i % 5 == 0 ? "\r\r\n" : "\r\n");
    // Long stretches of varied bytes without a CR, as in a file with LF
    // line ends.
    std::string lfOnly = noise;
    for (char &c : lfOnly)
        if (c == '\r' || c == 26) c = 'q';
    std::string allBytes;
    for (int c = 0; c < 256; ++c) allBytes.push_back(static_cast<char>(c));
    const std::vector<std::string> files = {
        kDeclaration + "\r\n<d csum='000009-000013'>\r\n<a>\r\r\n\r</a>\r",
        "<d csum='1'>" + std::string(3000, 'x') + "\r\n" + std::string(2049, 'y') + "\r",
        "<d csum='1'>\rA\r\r\nB\x1a\r\nC",
        "<d csum='1'>" + noise,
        "<d csum='1'>" + lines,
        "<d csum='1'>" + lfOnly + "\r\n" + lfOnly,
        kDeclaration + "\r\n<d csum='1'>\r\n" + lines + "\r",
        kDeclaration + "\n<d\r\n csum='1'\r>" + noise + "\x1a" + noise,
        std::string(600, 'x') + "\n<d csum='2'>" + allBytes + allBytes,
        kDeclaration,
        kDeclaration + "\r",
        "<d\r",
        "",
    };
    for (std::size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE("file " + std::to_string(f));
        const ChecksumScan expected = ReferenceScan(files[f]);
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{16},
                                  std::size_t{17}, std::size_t{33}, std::size_t{64},
                                  std::size_t{1000}, files[f].size() + 1}) {
            SCOPED_TRACE("chunks of " + std::to_string(chunk));
            ChecksumCounter counter;
            for (std::size_t at = 0; at < files[f].size() && !counter.ended(); at += chunk)
                counter.feed(reinterpret_cast<const unsigned char *>(files[f].data()) + at,
                             std::min(chunk, files[f].size() - at));
            const ChecksumScan scan = counter.finish();
            EXPECT_EQ(scan.plainSum, expected.plainSum);
            EXPECT_EQ(scan.weightedSum, expected.weightedSum);
            EXPECT_EQ(scan.header, expected.header);
            EXPECT_EQ(scan.declarationSkipped, expected.declarationSkipped);
            EXPECT_EQ(scan.headerRawOffset, expected.headerRawOffset);
        }
    }
}

TEST(Checksum, SumsAndComparison) {
    struct Case {
        const char *what;
        std::string file;
        uint32_t read;
        const char *computed;
        uint32_t compare;
    };
    const std::vector<Case> cases = {
        {"body A, B and the end-of-file value", "<d csum='000082-0000C2'>AB", 0, "000082-0000C2", 0},
        {"declaration line skipped, one line end", kDeclaration + "\n<d csum='000009-000013'>\n", 0,
         "000009-000013", 0},
        {"nothing after the first tag: eight digits", "<d csum='FFFFFFFF-FFFFFFFE'>", 0,
         "FFFFFFFF-FFFFFFFE", 0},
        {"CR LF counts as one line feed", kDeclaration + "\r\n<d csum='000009-000013'>\r\n", 0,
         "000009-000013", 0},
        {"a lone CR is counted as it is", "<d csum='00000C-000019'>\r", 0, "00000C-000019", 0},
        {"Ctrl-Z ends the data", "<d csum='000082-0000C2'>AB\x1a" "CDEF", 0, "000082-0000C2", 0},
        {"wildcard passes any content", "<d csum='112233-224466'>anything at all", 0, nullptr, 0},
        {"wrong sum", "<d csum='000083-0000C2'>AB", 0, "000082-0000C2", 101},
        {"lower-case digits are dropped", "<d csum='ffffffff-fffffffe'>", 0, "FFFFFFFF-FFFFFFFE", 101},
        {"digits of a later attribute join the stored text", "<d csum='000082-0000C2' v='1'>AB", 0,
         "000082-0000C2", 101},
        {"double quotes are not the attribute", "<d csum=\"000082-0000C2\">AB", 101, nullptr, 101},
        {"attribute on a later element", "<d><e csum='000082-0000C2'/>", 101, nullptr, 101},
        {"empty file", "", 101, nullptr, 101},
        {"declaration and first tag on one line: the next tag is the header",
         kDeclaration + "<d csum='000000-000000'>\n<e csum='FFFFFFFF-FFFFFFFE'>", 0,
         "FFFFFFFF-FFFFFFFE", 0},
    };
    TempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Outcome o = Check(dir, c.file);
        EXPECT_EQ(o.read, c.read);
        if (c.computed) {
            EXPECT_EQ(o.computed, c.computed);
        }
        if (o.read == 0) {
            EXPECT_EQ(o.compare, c.compare);
        }
    }
}

TEST(Checksum, MissingOrUnnamedFileIs102) {
    ChecksumSet none;
    EXPECT_EQ(ReadChecksums(none), 102u);
    ChecksumSet missing;
    missing.path = DualString::fromUtf8("/nonexistent/defs.xml");
    EXPECT_EQ(ReadChecksums(missing), 102u);
    ChecksumSet empty;
    empty.path = DualString::fromUtf8("");
    EXPECT_EQ(ReadChecksums(empty), 102u);
    TempDir dir;
    ChecksumSet directory;
    directory.path = DualString::fromUtf8(dir.path());
    EXPECT_EQ(ReadChecksums(directory), 102u);
}

TEST(Checksum, LongFirstTagIsCutSafely) {
    // A first tag far longer than the 4,095 bytes kept: the header keeps its
    // start, the body still begins after the first '>'.
    TempDir dir;
    std::string tag = "<d csum='000082-0000C2' pad='" + std::string(100000, 'x') + "'>";
    Outcome o = Check(dir, tag + "AB");
    EXPECT_EQ(o.read, 0u);
    EXPECT_EQ(o.computed, "000082-0000C2");
    EXPECT_EQ(o.compare, 0u);

    std::optional<ChecksumScan> scan = ScanChecksums(dir.write("x.xml", tag + "AB"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->header.size(), 4095u);

    // The csum attribute beyond the kept bytes is not seen.
    Outcome late = Check(dir, "<d pad='" + std::string(5000, 'x') + "' csum='000082-0000C2'>AB");
    EXPECT_EQ(late.read, 101u);
}

TEST(Checksum, FirstTagWithoutEndKeepsEverythingInTheHeader) {
    TempDir dir;
    std::optional<ChecksumScan> scan = ScanChecksums(dir.write("x.xml", "<d csum='1234'"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->header, "<d csum='1234'\xff");
    EXPECT_EQ(scan->plainSum, 0u);
    EXPECT_EQ(Check(dir, "<d csum='1234'").stored, "1234");
}

TEST(Checksum, LongFirstLineWithoutDeclarationIsNotSkipped) {
    // Only the first 511 characters are examined for the declaration.
    TempDir dir;
    std::string file = std::string(600, ' ') + kDeclaration + "\n<d csum='000009-000013'>\n";
    std::optional<ChecksumScan> scan = ScanChecksums(dir.write("x.xml", file));
    ASSERT_TRUE(scan);
    EXPECT_FALSE(scan->declarationSkipped);
}
