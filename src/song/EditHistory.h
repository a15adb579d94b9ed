#pragma once
// Undo and redo of the edits made in the editing windows. An edit names what it touches (a
// channel's four lists with its defaults, or the song defaults); the history compares those
// records as they were before and after the edit and keeps only the slots that changed, with
// their old and new contents, so any edit — a syllable, a phrase head, a batch change, a
// quick input — undoes and redoes without code of its own, and a step costs what it changed
// (a syllable's step about a kilobyte), not the size of the channel.
#include <cstddef>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "song/Song.h"

namespace kantor {

// Copies of one channel's records: its events, phrase, syllable and note settings (empty
// slots stay empty) and its channel defaults. Also the channel backup of the quick input.
struct ChannelRecords {
    int channel = 0;
    std::vector<std::optional<VoxEvent>> events;
    std::vector<std::optional<VoiceSettings>> phrases;
    std::vector<std::optional<SyllableSettings>> syllableSettings;
    std::vector<std::optional<NoteSettings>> noteSettings;
    VoiceSettings defaults;

    // The highlight of the note being edited (hasLyric 2) is a display state, not an edit:
    // copies hold the value it stands for.
    static ChannelRecords capture(const Song& song, int c);
    // Puts the copies back into the song's lists. False (lists as they were) when memory runs out.
    bool restore(Song& song) const;
    std::size_t bytes() const;
    bool operator==(const ChannelRecords&) const = default;
};

// Slots [at, at + before.size()) of a list held `before` and then held `after`.
template <typename T>
struct SlotChange {
    std::size_t at = 0;
    std::vector<std::optional<T>> before;
    std::vector<std::optional<T>> after;
};

// The changes of one list, in order and not overlapping, and the list's length before and after.
template <typename T>
struct ListDiff {
    std::size_t sizeBefore = 0;
    std::size_t sizeAfter = 0;
    std::vector<SlotChange<T>> changes;

    // The differences between two copies of a list. Copies of one length give a change for
    // each run of differing slots; otherwise one change spans all between the common
    // beginning and the common end.
    static ListDiff compare(const std::vector<std::optional<T>>& before, const std::vector<std::optional<T>>& after);
    // Makes the list (of the length of one side) hold the other side. False, and the list as
    // it was, when its length is not that side's or memory runs out.
    bool apply(SlotList<T>& list, bool forward) const;
    bool empty() const { return changes.empty(); }
    std::size_t bytes() const;
};

// A change of a file's bytes (the MIDI file of a note edit): what lay between a common
// beginning and a common end before and after.
struct ByteChange {
    std::size_t head = 0;
    std::size_t sizeBefore = 0;
    std::size_t sizeAfter = 0;
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;

    static ByteChange compare(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);
    // The bytes of the other side, made from `current`; false when `current` is not the side
    // the step left (the file was changed by someone else in between).
    bool apply(const std::vector<uint8_t>& current, bool forward, std::vector<uint8_t>& out) const;
    std::size_t bytes() const { return sizeof(ByteChange) + before.size() + after.size(); }
};

class EditHistory {
public:
    static constexpr int kSongDefaults = -1;  // the scope of an edit of the song defaults
    static constexpr int kNothing = -2;       // what undo and redo return when they did nothing

    // The oldest steps go when there are more than maxSteps, or when together they hold
    // more than maxBytes.
    explicit EditHistory(std::size_t maxSteps = 100000, std::size_t maxBytes = 64u << 20);

    // Starts an edit of channel c (0-15) or of the song defaults (kSongDefaults). Edits nest:
    // the outermost end() records one step for everything begun inside it; a scope begun
    // inside an open edit is added to it.
    void begin(const Song& song, int scope);
    // Ends an edit. The step is kept (and the redo steps dropped) only when some record of
    // its scopes changed; returns true then.
    bool end(const Song& song);
    // Ends an edit that is being abandoned (its changes were undone by the caller).
    void cancel();
    bool editing() const { return depth_ > 0; }
    // The MIDI file's change made by the open edit (a note edit): kept with its step, so that
    // undo and redo can put the file back along with the song's records.
    void setMidiChange(ByteChange change) { pendingMidi_ = std::move(change); }
    // The MIDI change that the next undo or redo brings back; null when that step has none.
    const ByteChange* undoMidi() const;
    const ByteChange* redoMidi() const;

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    // Undo or redo one step; returns the scope of the step's first record (a channel or
    // kSongDefaults), or kNothing. The song's records come back exactly as they were.
    int undo(Song& song);
    int redo(Song& song);
    // The scopes the last undo or redo touched.
    const std::vector<int>& lastScopes() const { return lastScopes_; }
    void clear();
    std::size_t size() const { return steps_.size(); }

    // Memory the steps hold together (an estimate: their records and lists).
    std::size_t bytes() const { return totalBytes_; }

private:
    struct Part {
        int scope = 0;
        // scope >= 0: what changed in the channel's lists, and its defaults before and after.
        ListDiff<VoxEvent> events;
        ListDiff<VoiceSettings> phrases;
        ListDiff<SyllableSettings> syllableSettings;
        ListDiff<NoteSettings> noteSettings;
        // The channel defaults (scope >= 0) or the song defaults, before and after.
        VoiceSettings defaultsBefore;
        VoiceSettings defaultsAfter;
        bool changed() const;
        std::size_t bytes() const;
    };
    // What an open edit captured when its scope was begun.
    struct Pending {
        int scope = 0;
        ChannelRecords channel;     // scope >= 0
        VoiceSettings songDefaults; // scope == kSongDefaults
    };
    struct Step {
        std::vector<Part> parts;
        std::optional<ByteChange> midi;
        std::size_t bytes = 0;
    };
    static Pending capture(const Song& song, int scope);
    static Part compare(const Pending& before, const Pending& after);
    // Puts the records of one side of a step back (forward: the after side). False, with the
    // song as it was, when the lists do not have the lengths the step left them with or
    // memory runs out.
    static bool applyPart(Song& song, const Part& p, bool forward);
    int apply(Song& song, const std::vector<Part>& parts, bool forward);
    void trim();

    std::size_t maxSteps_;
    std::size_t maxBytes_;
    std::vector<Step> steps_;
    std::size_t done_ = 0;  // steps_[0, done_) can be undone
    std::size_t totalBytes_ = 0;
    std::vector<Pending> pending_;
    std::optional<ByteChange> pendingMidi_;
    int depth_ = 0;
    std::vector<int> lastScopes_;
};

// An edit that ends when it goes out of scope, unless cancelled.
class EditScope {
public:
    EditScope(EditHistory& h, const Song& song, int scope) : h_(h), song_(song) { h_.begin(song, scope); }
    ~EditScope() {
        if (open_) h_.end(song_);
    }
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;
    bool end() {
        open_ = false;
        return h_.end(song_);
    }
    void cancel() {
        if (open_) h_.cancel();
        open_ = false;
    }

private:
    EditHistory& h_;
    const Song& song_;
    bool open_ = true;
};

}  // namespace kantor
