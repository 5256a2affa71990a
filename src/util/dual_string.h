// DualString: one text that callers read in two encodings, UTF-8 ("narrow")
// and UTF-16 ("wide"). A DualString may also be "none" (no text at all),
// which is distinct from the empty text.
//
// Only the narrow form is stored: comparisons, lookups and most callers use
// it, and the wide form is made from it when asked for (a copy for a caller
// of the C interface, or the text of a property write). A wide text that the
// narrow form cannot give back exactly (one with an unpaired surrogate,
// which the narrow form holds as U+FFFD) is also kept as it was given.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace lxniccfg {

class DualString {
public:
    DualString() = default;  // none
    explicit DualString(const char16_t *wide);  // nullptr gives none
    explicit DualString(std::u16string_view wide);

    DualString(const DualString &other);
    DualString &operator=(const DualString &other);
    DualString(DualString &&) noexcept = default;
    DualString &operator=(DualString &&) noexcept = default;
    ~DualString() = default;

    // Widens each byte into one 16-bit unit (the texts passed here are ASCII).
    static DualString fromNarrow(std::string_view bytes);
    // Converts UTF-8 text, keeping every character.
    static DualString fromUtf8(std::string_view utf8);

    bool isNone() const { return none_; }
    explicit operator bool() const { return !none_; }

    // Borrowed view; nullptr when none.
    const char *narrow() const { return none_ ? nullptr : narrow_.c_str(); }
    const std::string &narrowText() const { return narrow_; }
    // The UTF-16 text, made on each call (empty when none).
    std::u16string wideText() const;

    // A malloc'ed NUL-terminated UTF-16 copy for a caller of the C interface,
    // or nullptr when none.
    char16_t *wideCopy() const;

    // Byte-exact, case-sensitive comparison of the narrow forms; a none text
    // equals nothing, not even another none text.
    bool equals(const DualString &other) const {
        return !none_ && !other.none_ && narrow_ == other.narrow_;
    }
    bool equals(std::string_view narrow) const { return !none_ && narrow_ == narrow; }

private:
    bool none_ = true;
    std::string narrow_;
    // The wide text as given, only when fromUtf8(narrow_) does not give it
    // back (rare: most texts carry no pointer's worth of extra cost).
    std::unique_ptr<const std::u16string> exactWide_;
};

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);
// Length of a NUL-terminated UTF-16 text.
std::size_t wideLength(const char16_t *text);
// A malloc'ed NUL-terminated copy of a UTF-16 text, or nullptr.
char16_t *mallocWideCopy(std::u16string_view text);

}  // namespace lxniccfg
