#include "song/LyricLine.h"

#include "song/TextField.h"

namespace kantor {

void LyricLine::write(ByteWriter& w) const {
    w.u32le(0);
    w.u32le(position);
    writeTextField(w, text, kTextSize);
}

LyricLine LyricLine::read(ByteReader& r) {
    LyricLine l;
    l.reserved = r.u32le();
    l.position = r.u32le();
    l.text = readTextField(r, kTextSize);
    return l;
}

}  // namespace kantor
