#pragma once
// Where a sequenced MIDI stream sends its messages: the embedded synthesizer, an ALSA
// sequencer port, or a recorder for tests. Called on the audio thread, except silence(),
// which the owner's thread may call.
#include <cstdint>

namespace kantor {

class MidiEventSink {
public:
    virtual ~MidiEventSink() = default;
    // `frame` is the engine clock of the sample at which the message takes effect.
    virtual void shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) = 0;
    virtual void longMessage(uint64_t frame, const uint8_t* data, uint32_t length) = 0;
    // Every sounding note off, at once.
    virtual void silence() = 0;
};

}  // namespace kantor
