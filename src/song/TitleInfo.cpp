#include "song/TitleInfo.h"

#include "base/Codepage.h"

#include "song/TextField.h"

namespace kantor {

TitleInfo TitleInfo::newSong() {
    TitleInfo t;
    t.lyricistLabel = "作詞：";
    t.composerLabel = "作曲：";
    t.arrangerLabel = "編曲：";
    t.commentLabel = "ｺﾒﾝﾄ：";
    return t;
}

const std::array<TitleInfo::Field, 12>& TitleInfo::fields() {
    static const std::array<Field, 12> f{{
        {"title", 60, &TitleInfo::title},
        {"lyricist", 32, &TitleInfo::lyricist},
        {"composer", 32, &TitleInfo::composer},
        {"arranger", 32, &TitleInfo::arranger},
        {"comment", 64, &TitleInfo::comment},
        {"extraLine1", 32, &TitleInfo::extraLine1},
        {"extraLine2", 32, &TitleInfo::extraLine2},
        {"extraLine3", 32, &TitleInfo::extraLine3},
        {"lyricistLabel", 16, &TitleInfo::lyricistLabel},
        {"composerLabel", 16, &TitleInfo::composerLabel},
        {"arrangerLabel", 16, &TitleInfo::arrangerLabel},
        {"commentLabel", 16, &TitleInfo::commentLabel},
    }};
    return f;
}

void TitleInfo::write(ByteWriter& w) const {
    for (const Field& f : fields()) writeTextField(w, this->*f.member, f.size);
}

TitleInfo TitleInfo::read(ByteReader& r) {
    TitleInfo t;
    for (const Field& f : fields()) t.*f.member = readTextField(r, f.size);
    return t;
}

const std::array<TitleInfo::EditField, 12>& TitleInfo::editFields() {
    static const std::array<EditField, 12> fields = {{
        {"title", 52, &TitleInfo::title},
        {"lyricistLabel", 12, &TitleInfo::lyricistLabel},
        {"lyricist", 28, &TitleInfo::lyricist},
        {"composerLabel", 12, &TitleInfo::composerLabel},
        {"composer", 28, &TitleInfo::composer},
        {"arrangerLabel", 12, &TitleInfo::arrangerLabel},
        {"arranger", 28, &TitleInfo::arranger},
        {"extraLine1", 28, &TitleInfo::extraLine1},
        {"extraLine2", 28, &TitleInfo::extraLine2},
        {"extraLine3", 28, &TitleInfo::extraLine3},
        {"commentLabel", 12, &TitleInfo::commentLabel},
        {"comment", 60, &TitleInfo::comment},
    }};
    return fields;
}

bool TitleInfo::fitsEditLimit(const std::string& utf8, std::size_t limit) {
    bool exact = true;
    const std::string bytes = utf8ToCp932(utf8, &exact);
    return exact && bytes.size() <= limit;
}

}  // namespace kantor
