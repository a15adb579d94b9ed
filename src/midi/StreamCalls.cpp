#include "midi/StreamCalls.h"

namespace kantor {

std::string streamErrorText(MidiStream& stream, int code) {
    std::string text = stream.errorText(code);
    if (text.empty()) text = "MIDI stream error " + std::to_string(code);
    if (text.size() > 1023) text.resize(1023);
    return text;
}

std::string stopAndCloseStream(MidiStream& stream, std::span<MidiHeader> headers) {
    std::string text;
    auto check = [&](int r) {
        if (r != kDeviceOk) text = streamErrorText(stream, r);
    };
    check(stream.stop());
    for (MidiHeader& h : headers) {
        if (h.flags.load() != 0) {
            check(stream.unprepareHeader(h));
            h.flags = 0;
        }
    }
    check(stream.close());
    return text;
}

}  // namespace kantor
