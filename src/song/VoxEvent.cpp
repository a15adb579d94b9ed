#include "song/VoxEvent.h"

namespace kantor {

VoxEvent VoxEvent::zeroed() {
    VoxEvent e;
    e.noteVolume = 0;
    e.syllableVolume = {};
    return e;
}

bool VoxEvent::isBlankCode(int slot) const {
    for (char ch : syllableCode[static_cast<std::size_t>(slot)])
        if (ch != 0 && ch != ' ') return false;
    return true;
}

std::string VoxEvent::codeText(int slot) const {
    const auto& f = syllableCode[static_cast<std::size_t>(slot)];
    std::size_t n = 0;
    while (n < f.size() && f[n] != 0) ++n;
    while (n > 0 && f[n - 1] == ' ') --n;
    return std::string(f.data(), n);
}

void VoxEvent::setCode(int slot, const std::string& code) {
    auto& f = syllableCode[static_cast<std::size_t>(slot)];
    f.fill(0);
    for (std::size_t i = 0; i < f.size() && i < code.size(); ++i) f[i] = code[i];
}

bool VoxEvent::hasSyllable() const {
    for (uint16_t len : syllableLength)
        if (len != 0) return true;
    return false;
}

void VoxEvent::write(ByteWriter& w) const {
    w.u16le(midiEventIndex);
    w.u16le(noteNumber);
    w.u32le(noteKey);
    w.u32le(startTick);
    w.u32le(endTick);
    w.u16le(hasLyric);
    w.u16le(noteVolume);
    for (const auto& code : syllableCode) w.bytes(code.data(), code.size());
    for (uint16_t v : syllableLength) w.u16le(v);
    for (uint16_t v : syllableVolume) w.u16le(v);
    for (uint16_t v : syllableSettingsIndex) w.u16le(v);
    w.u16le(phraseIndex);
    w.u16le(phraseGroup);
    w.u16le(noteSettingsIndex);
    w.u16le(noteParam);
    w.bytes(reserved.data(), reserved.size());
}

VoxEvent VoxEvent::read(ByteReader& r) {
    VoxEvent e = zeroed();
    e.midiEventIndex = r.u16le();
    e.noteNumber = r.u16le();
    e.noteKey = r.u32le();
    e.startTick = r.u32le();
    e.endTick = r.u32le();
    e.hasLyric = r.u16le();
    e.noteVolume = r.u16le();
    for (auto& code : e.syllableCode) r.bytes(code.data(), code.size());
    for (uint16_t& v : e.syllableLength) v = r.u16le();
    for (uint16_t& v : e.syllableVolume) v = r.u16le();
    for (uint16_t& v : e.syllableSettingsIndex) v = r.u16le();
    e.phraseIndex = r.u16le();
    e.phraseGroup = r.u16le();
    e.noteSettingsIndex = r.u16le();
    e.noteParam = r.u16le();
    r.bytes(e.reserved.data(), e.reserved.size());
    return e;
}

}  // namespace kantor
