#pragma once
// A MIDI stream for an external synthesizer: the stream is clocked by the audio engine
// like every other, and its messages leave through an output port of the ALSA sequencer
// ("kantor" / "MIDI out"), connected to `destination` ("client:port", e.g. "128:0") when
// one is given. Messages go out directly when their block is processed, so their timing is
// that of the engine's blocks; the MIDI-wave delay correction covers the rest.
#include <string>

#include "platform/MidiEventSink.h"
#include "platform/SequencedMidiStream.h"

namespace kantor {

class AlsaSeqSink : public MidiEventSink {
public:
    ~AlsaSeqSink() override;
    // 0 on success, else a device result code.
    int openPort(const std::string& destination);
    void closePort();
    bool isOpen() const { return seq_ != nullptr; }

    void shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) override;
    void longMessage(uint64_t frame, const uint8_t* data, uint32_t length) override;
    void silence() override;

private:
    void* seq_ = nullptr;  // snd_seq_t
    int port_ = -1;
};

class AlsaSeqMidiStream : public SequencedMidiStream {
public:
    AlsaSeqMidiStream(AudioEngine& engine, NotificationQueue& queue, std::string destination = "");
    ~AlsaSeqMidiStream() override;

protected:
    int openDevice() override;
    void closeDevice() override;

private:
    AlsaSeqSink sink_;
    std::string destination_;
};

}  // namespace kantor
