#include "song/VoiceSettings.h"

#include "song/TextField.h"

namespace kantor {

VoiceSettings VoiceSettings::newSongDefaults() {
    VoiceSettings s;
    s.voiceName = kDefaultVoiceName;
    s.tuning = kDefaultTuning;
    s.phraseVolume = 100;
    s.positionValue = 20;
    return s;
}

void VoiceSettings::inheritFrom(const VoiceSettings& from) {
    if (!ownVoice) voiceName = from.voiceName;
    if (!ownTuning) tuning = from.tuning;
    if (!ownVolume) phraseVolume = from.phraseVolume;
    if (!ownTiming) timingOffset = from.timingOffset;
    if (!ownEffects) effect = from.effect;
    if (!ownPositionValue) positionValue = from.positionValue;
}

void VoiceSettings::write(ByteWriter& w, std::size_t size) const {
    w.u8(ownVoice);
    w.u8(ownTuning);
    w.u8(ownVolume);
    w.u8(ownTiming);
    w.u8(ownEffects);
    w.u8(ownPositionValue);
    w.bytes(reserved1.data(), reserved1.size());
    writeTextField(w, voiceName, kVoiceNameSize);
    w.u32le(tuning);
    w.u16le(phraseVolume);
    w.u16le(positionValue);
    w.i32le(timingOffset);
    for (int32_t e : effect) w.i32le(e);
    w.bytes(reserved2.data(), size == kSize ? kTailSize : kPhraseTailSize);
}

VoiceSettings VoiceSettings::read(ByteReader& r, std::size_t size) {
    VoiceSettings s;
    s.ownVoice = r.u8();
    s.ownTuning = r.u8();
    s.ownVolume = r.u8();
    s.ownTiming = r.u8();
    s.ownEffects = r.u8();
    s.ownPositionValue = r.u8();
    r.bytes(s.reserved1.data(), s.reserved1.size());
    s.voiceName = readTextField(r, kVoiceNameSize);
    s.tuning = r.u32le();
    s.phraseVolume = r.u16le();
    s.positionValue = r.u16le();
    s.timingOffset = r.i32le();
    for (int32_t& e : s.effect) e = r.i32le();
    r.bytes(s.reserved2.data(), size == kSize ? kTailSize : kPhraseTailSize);
    return s;
}

}  // namespace kantor
