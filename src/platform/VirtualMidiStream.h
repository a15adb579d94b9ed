#pragma once
// The MIDI stream for tests: a sequenced stream on the engine's clock whose messages are
// recorded with the sample frame and stream tick at which they were sent. Any operation can
// be made to fail once with a chosen result code.
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "platform/SequencedMidiStream.h"

namespace kantor {

struct RecordedMidiEvent {
    uint64_t frame = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    std::vector<uint8_t> longData;  // system exclusive bytes (status 0 then)
};

class RecordingMidiSink : public MidiEventSink {
public:
    void shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) override;
    void longMessage(uint64_t frame, const uint8_t* data, uint32_t length) override;
    void silence() override;

    std::vector<RecordedMidiEvent> events() const;
    int silenceCount() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedMidiEvent> events_;
    int silences_ = 0;
};

class VirtualMidiStream : public SequencedMidiStream {
public:
    enum class Op { Open, TimeDivision, Prepare, Unprepare, Out, Pause, Restart, Stop, Close, Position };

    VirtualMidiStream(AudioEngine& engine, NotificationQueue& queue);
    // Closes here, while the recording sink still exists.
    ~VirtualMidiStream() override;

    // The next call of `op` fails with `code` (and does nothing else).
    void failNext(Op op, int code = kDeviceError);
    // How many times `op` has been called.
    int calls(Op op) const;

    const RecordingMidiSink& sink() const { return sink_; }
    RecordingMidiSink& sink() { return sink_; }

    int open(NotificationTarget* owner) override;
    int setTimeDivision(uint16_t ticksPerQuarter) override;
    int prepareHeader(MidiHeader& h) override;
    int unprepareHeader(MidiHeader& h) override;
    int out(MidiHeader& h) override;
    int pause() override;
    int restart() override;
    int stop() override;
    int close() override;
    int position(uint32_t& ticks) override;

private:
    int take(Op op);

    RecordingMidiSink sink_;
    mutable std::mutex mutex_;
    std::map<Op, int> faults_;
    std::map<Op, int> calls_;
};

}  // namespace kantor
