#include "definitions/checksum.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace lxniccfg {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::size_t kFirstLineChars = 511;
constexpr std::size_t kHeaderBytes = 4095;  // plus the terminator: a 4,096-byte buffer

// Reads a file one character at a time as a text-mode stream would deliver it.
class TextModeReader {
public:
    explicit TextModeReader(platform::InputFile &file) : file_(file), buffer_(1 << 16) {}

    // The next character, or -1 at the end of the data (which also sets eof).
    int get() {
        if (ended_) {
            eof_ = true;
            return -1;
        }
        int c = nextRaw();
        if (c == 26) ended_ = true;  // Ctrl-Z ends the data
        if (c < 0 || c == 26) {
            eof_ = true;
            return -1;
        }
        if (c == '\r' && peekRaw() == '\n') {
            nextRaw();
            return '\n';
        }
        return c;
    }

    bool eof() const { return eof_; }
    uint64_t rawOffset() const { return consumed_; }

    void rewind() {
        file_.seekToStart();
        pos_ = len_ = 0;
        consumed_ = 0;
        eof_ = ended_ = false;
    }

private:
    bool fill() {
        if (pos_ < len_) return true;
        long n = file_.read(buffer_.data(), buffer_.size());
        pos_ = 0;
        len_ = n > 0 ? static_cast<std::size_t>(n) : 0;  // a read error ends the data
        return len_ > 0;
    }
    int nextRaw() {
        if (!fill()) return -1;
        ++consumed_;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    int peekRaw() { return fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1; }

    platform::InputFile &file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, len_ = 0;
    uint64_t consumed_ = 0;
    bool eof_ = false, ended_ = false;
};

// C-string view of a buffer that may hold NUL bytes.
std::string_view asCString(const std::string &text) {
    return std::string_view(text.c_str(), std::strlen(text.c_str()));
}

}  // namespace

std::optional<ChecksumScan> ScanChecksums(const std::string &path) {
    platform::InputFile file;
    if (!file.open(path)) return std::nullopt;
    TextModeReader reader(file);
    ChecksumScan scan;

    // The first line (at most 511 characters) is skipped when it holds the
    // UTF-8 declaration; otherwise reading starts over at the beginning.
    std::string line;
    while (line.size() < kFirstLineChars) {
        int c = reader.get();
        if (c < 0) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    if (asCString(line).find(kDeclaration) != std::string_view::npos) {
        scan.declarationSkipped = true;
    } else {
        reader.rewind();
    }
    scan.headerRawOffset = reader.rawOffset();
    if (reader.eof()) return scan;

    bool inHeader = true;
    uint32_t position = 0;
    do {
        int c = reader.get();
        if (inHeader) {
            if (scan.header.size() < kHeaderBytes)
                scan.header.push_back(static_cast<char>(c < 0 ? 255 : c));
            if (c == '>') inHeader = false;
        } else {
            uint32_t value = static_cast<uint32_t>(c);
            scan.plainSum += value;
            scan.weightedSum += (position % 2 == 0) ? 2 * value : value;
            ++position;
        }
    } while (!reader.eof());
    return scan;
}

std::string FormatChecksum(uint32_t plainSum, uint32_t weightedSum) {
    char text[32];
    std::snprintf(text, sizeof text, "%06X-%06X", plainSum, weightedSum);
    return text;
}

std::string FilterChecksumText(std::string_view text) {
    std::string kept;
    for (char c : text)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-') kept.push_back(c);
    return kept;
}

std::optional<std::string_view> TextAfterChecksumAttribute(const std::string &header) {
    std::string_view text = asCString(header);
    std::size_t at = text.find("csum='");
    if (at == std::string_view::npos) return std::nullopt;
    return text.substr(at + 6);
}

uint32_t ReadChecksums(ChecksumSet &set) {
    if (set.path.isNone()) return 102;
    std::optional<ChecksumScan> scan = ScanChecksums(set.path.narrowText());
    if (!scan) return 102;
    std::optional<std::string_view> after = TextAfterChecksumAttribute(scan->header);
    if (!after) return 101;
    set.stored = DualString::fromNarrow(FilterChecksumText(*after));
    set.computed =
        DualString::fromNarrow(FilterChecksumText(FormatChecksum(scan->plainSum, scan->weightedSum)));
    return 0;
}

uint32_t CompareChecksums(const ChecksumSet &set) {
    if (set.computed.equals(set.stored)) return 0;
    if (set.stored.equals(set.wildcard)) return 0;
    return 101;
}

}  // namespace lxniccfg
