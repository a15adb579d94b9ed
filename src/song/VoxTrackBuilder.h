#pragma once
// Vox channels derived from the MIDI notes: making a channel a Vox channel, and keeping
// the Vox events in step with the MIDI file when a song is opened.
#include <cstdint>

#include "base/Translation.h"
#include "midi/ChannelEvent.h"
#include "song/VoxEvent.h"

namespace kantor {

class MidiFile;
class Song;
class UserPrompt;

namespace voxtrack {
inline constexpr const char* kAddWarning = KANTOR_TEXT("Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを追加します。MidiCh=%d");
inline constexpr const char* kRemoveWarning = KANTOR_TEXT("Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを削除します。MidiCh=%d");
inline constexpr const char* kWarningCaption = "Warning";
inline constexpr const char* kErrorCaption = "Error";
}  // namespace voxtrack

// A new event for the MIDI note at entry `index` of its channel list, the n-th note.
VoxEvent newVoxEvent(const ChannelEvent& note, std::size_t index, uint32_t noteNumber);

// Rescales a tick from time base `from` to `to`: to * tick / from, limited to 32 bits.
uint32_t rescaleTick(uint32_t tick, uint16_t from, uint16_t to);

// Rebuilds channel c's events from its MIDI notes (its settings lists stay). False with
// "メモリが不足しています。" in the song's error text when an event cannot be made; the events
// made so far stay.
bool makeVoxChannel(Song& song, const ChannelEventList& midiChannel, int c);

// Brings every Vox channel and the song-wide positions in line with the MIDI file just
// opened: events stay on the notes of their start and key, and are paired in order between
// such notes; notes gained or lost are added or removed with a warning; positions are
// rescaled when the stored time base differs from the file's.
// False with "メモリが不足しています。" when an event cannot be made.
bool reconcileWithMidi(Song& song, const MidiFile& midi, UserPrompt& prompt);

}  // namespace kantor
