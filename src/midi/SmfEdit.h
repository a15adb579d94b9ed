#pragma once
// Changing the notes of one channel in a Standard MIDI File as it lies on disk. The file's
// tracks are read event by event, each event keeping its own bytes; the note-on and note-off
// events of chosen notes are taken out and new ones put in, and only the tracks that changed
// are written anew. Every other byte of the file stays as it was: the header, the other
// tracks, and in a changed track every event with its delta-time bytes and running status,
// except where a neighbour that went away makes a new delta-time or status byte necessary.
//
// The reading is stricter than the MIDI reader's (midi/MidiFile.h), which plays damaged files
// as far as they go: a file this class cannot read whole is not edited.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/LastError.h"

namespace kantor {

// One note of a channel, in the order the MIDI reader lists the channel's notes.
struct SmfNote {
    uint32_t start = 0;
    uint32_t offTick = 0;  // the tick of its note-off (the reader may end the note earlier)
    uint8_t key = 0;
    uint8_t velocity = 0;
    bool hasOff = false;
    bool offIsNoteOn = false;  // the note-off is a note-on of velocity 0
    uint8_t offVelocity = 0;
    int track = 0;             // the track holding its note-on
    std::size_t on = 0;        // its note-on among the track's events
    int offTrack = -1;
    std::size_t off = 0;
};

// A note to put in.
struct SmfNewNote {
    uint32_t start = 0;
    uint32_t end = 0;
    uint8_t key = 60;
    uint8_t velocity = 100;
    int track = 0;
    bool offIsNoteOn = false;
    uint8_t offVelocity = 64;
};

// A note of the channel after a rewrite, in the reader's order: a note kept (its index among
// the notes before) or one put in (its index among the new notes).
struct SmfOrderEntry {
    bool added = false;
    std::size_t index = 0;
};

class SmfEditor : public LastError {
public:
    // Reads the file's bytes. False (with the reason) when the file is not one this class can
    // change safely: not format 0 or 1, a track cut short, a byte no event starts with.
    bool parse(std::vector<uint8_t> bytes);
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint16_t format() const { return format_; }
    int trackCount() const { return static_cast<int>(tracks_.size()); }

    // The channel's notes in the order the MIDI reader lists them.
    std::vector<SmfNote> channelNotes(int channel) const;
    // The first track with a channel message of the channel; -1 when none has one.
    int trackOfChannel(int channel) const;
    // Where a note goes in a channel with no notes yet.
    int trackForNewChannel(int channel) const;

    // The file with the notes marked in `remove` (indexes of channelNotes(channel)) taken out
    // and `add` put in; `order` lists the channel's notes of the new file in the reader's order.
    // A note-off goes before the events of its tick, a note-on after them; an end-of-track event
    // moves to the last event of its track when a note now ends later.
    bool rewrite(int channel, const std::vector<SmfNote>& notes, const std::vector<bool>& remove,
                 const std::vector<SmfNewNote>& add, std::vector<uint8_t>& out, std::vector<SmfOrderEntry>& order);

private:
    struct Event {
        uint32_t tick = 0;
        std::size_t delta = 0;  // where its delta-time begins
        std::size_t begin = 0;  // where its own bytes begin (the status byte, if written)
        std::size_t end = 0;
        uint8_t status = 0;     // its status, running or written
        bool written = false;   // the status byte is in the file
        bool endOfTrack = false;
    };
    struct Track {
        std::size_t chunk = 0;      // "MTrk"
        std::size_t dataBegin = 0;
        std::size_t dataEnd = 0;
        std::size_t tail = 0;       // bytes after the end-of-track event, kept as they are
        std::vector<Event> events;
    };
    bool parseTrack(Track& t);

    std::vector<uint8_t> bytes_;
    std::size_t headerStart_ = 0;
    uint16_t format_ = 0;
    std::vector<Track> tracks_;
};

}  // namespace kantor
