#pragma once
// What the players do alike with a platform MIDI stream: the text of a failed call, and
// stopping and closing a stream with the buffers it may still hold.
#include <span>
#include <string>

#include "platform/MidiStream.h"

namespace kantor {

// The stream's text for a result code, cut to the 1023 characters a player keeps.
std::string streamErrorText(MidiStream& stream, int code);

// Stops the stream, unprepares every header still marked (a queued buffer comes back from
// stop done and still prepared) and closes the stream. Every call is made even after one
// fails; the text of the last failure is returned, "" when all succeeded.
std::string stopAndCloseStream(MidiStream& stream, std::span<MidiHeader> headers);

}  // namespace kantor
