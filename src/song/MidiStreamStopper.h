#pragma once
// Stopping and closing the MIDI output stream, which opening and saving a song do first.
// The transport implements it.
#include <string>

namespace kantor {

class MidiStreamStopper {
public:
    virtual ~MidiStreamStopper() = default;
    // Stops and closes the stream if it is open. On failure returns false with the
    // stream's error text in `error`.
    virtual bool stopAndCloseStream(std::string& error) = 0;
};

}  // namespace kantor
