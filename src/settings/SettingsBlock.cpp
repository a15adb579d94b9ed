#include "settings/SettingsBlock.h"

#include "base/ByteIO.h"

namespace kantor {
namespace {

WindowRect readRect(ByteReader& r) {
    WindowRect rect;
    rect.left = r.i32le();
    rect.top = r.i32le();
    rect.right = r.i32le();
    rect.bottom = r.i32le();
    return rect;
}

void writeRect(ByteWriter& w, const WindowRect& rect) {
    w.i32le(rect.left);
    w.i32le(rect.top);
    w.i32le(rect.right);
    w.i32le(rect.bottom);
}

}  // namespace

bool readSettingsBlock(std::span<const uint8_t> bytes, SettingsBlock& b) {
    if (bytes.size() < kSettingsBlockSize) return false;
    ByteReader r(bytes.first(kSettingsBlockSize));
    b.version = r.u32le();
    b.mainPanel = readRect(r);
    b.channelList = readRect(r);
    b.titleInfo = readRect(r);
    for (WindowRect& rect : b.channelScore) rect = readRect(r);
    b.muteSolo = readRect(r);
    b.value324 = r.u32le();
    b.waveVolumeWindow = readRect(r);
    for (WindowRect& rect : b.noteVoice) rect = readRect(r);
    b.romajiList = readRect(r);
    b.lyricInput = readRect(r);
    b.waveInsert = readRect(r);
    b.value648 = r.u32le();
    b.value652 = r.u32le();
    b.channelListBarPattern = r.i32le();
    b.channelListEventColourArea = r.i32le();
    b.channelListAutoScroll = r.i32le();
    b.channelScoreAutoScrollMode = r.i32le();
    b.channelScoreVoxWordDisplay = r.i32le();
    b.value676 = r.u32le();
    std::array<uint8_t, SoundSettings::kSize> sound{};
    r.bytes(sound.data(), sound.size());
    b.sound.setBytes(sound);
    b.waveVolumeLeft = r.u16le();
    b.waveVolumeRight = r.u16le();
    b.lrSync = r.u16le();
    b.value710 = r.u16le();
    b.voiceFolder = r.fixedText(kSettingsTextSize);
    for (std::string& path : b.recentFiles) path = r.fixedText(kSettingsTextSize);
    b.voiceMakerFolder = r.fixedText(kSettingsTextSize);
    b.recordOffset = r.u32le();
    b.recordCount = r.u16le();
    b.value3790 = r.u16le();
    return r.ok() && r.position() == kSettingsBlockSize;
}

void writeSettingsBlock(const SettingsBlock& b, std::vector<uint8_t>& out) {
    ByteWriter w;
    w.u32le(b.version);
    writeRect(w, b.mainPanel);
    writeRect(w, b.channelList);
    writeRect(w, b.titleInfo);
    for (const WindowRect& rect : b.channelScore) writeRect(w, rect);
    writeRect(w, b.muteSolo);
    w.u32le(b.value324);
    writeRect(w, b.waveVolumeWindow);
    for (const WindowRect& rect : b.noteVoice) writeRect(w, rect);
    writeRect(w, b.romajiList);
    writeRect(w, b.lyricInput);
    writeRect(w, b.waveInsert);
    w.u32le(b.value648);
    w.u32le(b.value652);
    w.i32le(b.channelListBarPattern);
    w.i32le(b.channelListEventColourArea);
    w.i32le(b.channelListAutoScroll);
    w.i32le(b.channelScoreAutoScrollMode);
    w.i32le(b.channelScoreVoxWordDisplay);
    w.u32le(b.value676);
    w.bytes(b.sound.bytes().data(), SoundSettings::kSize);
    w.u16le(b.waveVolumeLeft);
    w.u16le(b.waveVolumeRight);
    w.u16le(b.lrSync);
    w.u16le(b.value710);
    w.fixedText(b.voiceFolder, kSettingsTextSize);
    for (const std::string& path : b.recentFiles) w.fixedText(path, kSettingsTextSize);
    w.fixedText(b.voiceMakerFolder, kSettingsTextSize);
    w.u32le(b.recordOffset);
    w.u16le(b.recordCount);
    w.u16le(b.value3790);
    out.insert(out.end(), w.buffer().begin(), w.buffer().end());
}

}  // namespace kantor
