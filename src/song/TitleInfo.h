#pragma once
// The title information of a song: eight texts and four labels (UTF-8 in memory; in
// the song file header as cp932 fields of the widths below).
#include <array>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

struct TitleInfo {
    std::string title;          // 60 bytes
    std::string lyricist;       // 32
    std::string composer;       // 32
    std::string arranger;       // 32
    std::string comment;        // 64
    std::string extraLine1;     // 32
    std::string extraLine2;     // 32
    std::string extraLine3;     // 32
    std::string lyricistLabel;  // 16
    std::string composerLabel;  // 16
    std::string arrangerLabel;  // 16
    std::string commentLabel;   // 16

    // Empty texts and the labels "作詞：", "作曲：", "編曲：", "ｺﾒﾝﾄ：".
    static TitleInfo newSong();

    struct Field {
        const char* name;
        std::size_t size;
        std::string TitleInfo::*member;
    };
    // The twelve fields in file order (header offset 0x014 onwards, no gaps).
    static const std::array<Field, 12>& fields();

    // What the title input dialog lets the user type into each field, in cp932 bytes (less
    // than the field holds): the title 52, the names and extra lines 28, the comment 60, the
    // labels 12.
    struct EditField {
        const char* name;
        std::size_t limit;
        std::string TitleInfo::*member;
    };
    static const std::array<EditField, 12>& editFields();
    // True when the text converts to cp932 exactly and fits the limit.
    static bool fitsEditLimit(const std::string& utf8, std::size_t limit);

    void write(ByteWriter& w) const;  // 380 bytes
    static TitleInfo read(ByteReader& r);

    bool operator==(const TitleInfo&) const = default;
};

}  // namespace kantor
