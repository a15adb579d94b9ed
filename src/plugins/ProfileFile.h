#pragma once
// A profile (INI) text file read the way profile strings have always been read:
//
//   [Section]
//   Key=Value
//   ; a comment line
//
// Section and key names compare without regard to ASCII letter case; the first section of a
// name and the first key of a name within it count. A value has its leading white space
// skipped, is cut to size - 1 bytes (never inside a character) and has its trailing white
// space removed; a missing key gives the default, cut and trimmed the same way.
//
// The text may be UTF-8 (with or without a byte order mark) or cp932: a file that is not
// valid UTF-8 is taken as cp932. Values come back as UTF-8.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/LastError.h"

namespace kantor {

class ProfileFile : public LastError {
public:
    // Description files are small; anything larger is not one.
    static constexpr std::size_t kMaxFileSize = 1 << 20;
    // The buffer size of the classic reader: values are cut at 511 bytes.
    static constexpr std::size_t kValueSize = 512;

    // Reads a file. A file that cannot be read gives an empty profile (every key missing)
    // and false with lastError().
    bool load(const std::string& path);
    // The same from bytes.
    void loadFromBytes(std::span<const uint8_t> bytes);

    // The value of a key, or `fallback` when the section or key is missing.
    std::string get(std::string_view section, std::string_view key, std::string_view fallback = "",
                    std::size_t size = kValueSize) const;
    bool has(std::string_view section, std::string_view key) const;

private:
    struct NoCaseLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    using Section = std::map<std::string, std::string, NoCaseLess>;
    std::map<std::string, Section, NoCaseLess> sections_;
    bool cp932_ = false;  // the file's encoding: values are cut in it
};

// Removes trailing white space (space, tab, CR, LF, VT, FF).
std::string trimRightSpace(std::string_view s);

}  // namespace kantor
