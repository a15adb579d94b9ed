#pragma once
// Writes Standard MIDI Files: tracks of events at absolute ticks, serialised with
// delta-times. Used by the build tools (demo song) and by tests.
#include <cstdint>
#include <string>
#include <vector>

namespace kantor {

class SmfTrack {
public:
    // With running status on, channel messages repeat no status byte when it is unchanged.
    explicit SmfTrack(bool runningStatus = false) : runningStatus_(runningStatus) {}

    SmfTrack& noteOn(uint32_t tick, int channel, int note, int velocity);
    SmfTrack& noteOff(uint32_t tick, int channel, int note, int velocity = 0);
    // A note-on and its note-off.
    SmfTrack& note(uint32_t start, uint32_t end, int channel, int note, int velocity);
    SmfTrack& controlChange(uint32_t tick, int channel, int controller, int value);
    SmfTrack& programChange(uint32_t tick, int channel, int program);
    SmfTrack& pitchBend(uint32_t tick, int channel, int value14);
    SmfTrack& tempo(uint32_t tick, uint32_t usPerQuarter);
    // denominatorPower: 2 for x/4, 3 for x/8.
    SmfTrack& timeSignature(uint32_t tick, int numerator, int denominatorPower);
    SmfTrack& meta(uint32_t tick, uint8_t type, const std::vector<uint8_t>& data);
    SmfTrack& text(uint32_t tick, uint8_t type, const std::string& text);
    // An 0xF0 event; `payload` follows the 0xF0 byte (normally ending in 0xF7).
    SmfTrack& sysex(uint32_t tick, const std::vector<uint8_t>& payload);
    // Raw event bytes (status and data) as they stand.
    SmfTrack& raw(uint32_t tick, const std::vector<uint8_t>& bytes);
    // Ends the track at `tick` (or at its last event when 0 and earlier). Added
    // automatically at the last event's tick when missing.
    SmfTrack& endOfTrack(uint32_t tick);

    // The track chunk ("MTrk", length, events).
    std::vector<uint8_t> chunk() const;

private:
    struct Event {
        uint32_t tick;
        std::vector<uint8_t> bytes;
    };
    SmfTrack& add(uint32_t tick, std::vector<uint8_t> bytes);
    std::vector<Event> events_;
    bool runningStatus_;
    bool ended_ = false;
    uint32_t endTick_ = 0;
};

// The whole file: header chunk and the track chunks.
std::vector<uint8_t> buildSmf(uint16_t format, uint16_t division, const std::vector<SmfTrack>& tracks);
// The same wrapped in a RIFF "RMID" container.
std::vector<uint8_t> wrapRiff(const std::vector<uint8_t>& smf);

}  // namespace kantor
