#include "platform/VirtualMidiStream.h"

namespace kantor {

void RecordingMidiSink::shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({frame, status, data1, data2, {}});
}

void RecordingMidiSink::longMessage(uint64_t frame, const uint8_t* data, uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({frame, 0, 0, 0, std::vector<uint8_t>(data, data + length)});
}

void RecordingMidiSink::silence() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++silences_;
}

std::vector<RecordedMidiEvent> RecordingMidiSink::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

int RecordingMidiSink::silenceCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return silences_;
}

void RecordingMidiSink::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    silences_ = 0;
}

// The sink is a member initialised after the base class, which only stores its address.
VirtualMidiStream::VirtualMidiStream(AudioEngine& engine, NotificationQueue& queue)
    : SequencedMidiStream(engine, queue, sink_) {}

VirtualMidiStream::~VirtualMidiStream() {
    if (isOpen()) SequencedMidiStream::close();
}

void VirtualMidiStream::failNext(Op op, int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[op] = code;
}

int VirtualMidiStream::calls(Op op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

int VirtualMidiStream::take(Op op) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_[op];
    auto it = faults_.find(op);
    if (it == faults_.end()) return kDeviceOk;
    int code = it->second;
    faults_.erase(it);
    return code;
}

int VirtualMidiStream::open(NotificationTarget* owner) {
    if (int r = take(Op::Open)) return r;
    return SequencedMidiStream::open(owner);
}
int VirtualMidiStream::setTimeDivision(uint16_t t) {
    if (int r = take(Op::TimeDivision)) return r;
    return SequencedMidiStream::setTimeDivision(t);
}
int VirtualMidiStream::prepareHeader(MidiHeader& h) {
    if (int r = take(Op::Prepare)) return r;
    return SequencedMidiStream::prepareHeader(h);
}
int VirtualMidiStream::unprepareHeader(MidiHeader& h) {
    if (int r = take(Op::Unprepare)) return r;
    return SequencedMidiStream::unprepareHeader(h);
}
int VirtualMidiStream::out(MidiHeader& h) {
    if (int r = take(Op::Out)) return r;
    return SequencedMidiStream::out(h);
}
int VirtualMidiStream::pause() {
    if (int r = take(Op::Pause)) return r;
    return SequencedMidiStream::pause();
}
int VirtualMidiStream::restart() {
    if (int r = take(Op::Restart)) return r;
    return SequencedMidiStream::restart();
}
int VirtualMidiStream::stop() {
    if (int r = take(Op::Stop)) return r;
    return SequencedMidiStream::stop();
}
int VirtualMidiStream::close() {
    if (int r = take(Op::Close)) return r;
    return SequencedMidiStream::close();
}
int VirtualMidiStream::position(uint32_t& ticks) {
    if (int r = take(Op::Position)) return r;
    return SequencedMidiStream::position(ticks);
}

}  // namespace kantor
