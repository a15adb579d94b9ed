#pragma once
// The measure table and tempo list of a loaded MIDI file, and the position and time
// arithmetic built on them: ticks <-> "measure : beat : tick" and ticks <-> milliseconds.
#include <cstdint>
#include <string>
#include <vector>

#include "base/LastError.h"

namespace kantor {

class MidiFile;

struct Measure {
    uint32_t start = 0;
    uint32_t length = 0;
    uint16_t numerator = 4;
    uint16_t denominator = 4;  // as a note value: 4 = quarter, 8 = eighth
};

struct TempoRecord {
    uint32_t tick = 0;
    uint32_t usPerQuarter = 0;
};

class TempoMap : public LastError {
public:
    // The table never grows past this many measures (days of music). A file whose end lies
    // further out, as one with a stray huge delta-time before its end, still opens: positions
    // past the table have no measure.
    static constexpr std::size_t kMaxMeasures = std::size_t(1) << 18;
    // The tempo of a Standard MIDI File before its first tempo event: 120 bpm.
    static constexpr uint32_t kDefaultUsPerQuarter = 500000;

    // Both read channel list 0 of the file; they fail with "Not Read Smf" when it is empty.
    bool buildMeasureTable(const MidiFile& midi);
    bool buildTempoList(const MidiFile& midi);
    // Measure table first, tempo list second, as every opening of a file does.
    bool build(const MidiFile& midi) { return buildMeasureTable(midi) && buildTempoList(midi); }
    void clear();

    const std::vector<Measure>& measures() const { return measures_; }
    // The tempo list: one record per tempo event of list 0, led by a record of 120 bpm at
    // tick 0 when the file has no tempo event there (impliedTempo() then tells so).
    const std::vector<TempoRecord>& tempos() const { return tempos_; }
    bool impliedTempo() const { return impliedTempo_; }
    uint16_t division() const { return division_; }
    uint32_t songEndTick() const { return songEnd_; }

    // "%03d : %d : %03d" (measure, beat, tick in beat), or "000 : 0 : 000" when the tick lies
    // in no measure. beatLength (when given) receives the beat length used, 0 if none.
    std::string positionText(uint32_t tick, uint32_t* beatLength = nullptr) const;
    // The measure holding the tick (the earliest one where measures overlap), or -1.
    long measureIndexAt(uint32_t tick) const;

    // Milliseconds from tick a to tick b (a <= b), truncated per tempo segment.
    uint32_t millisecondsBetween(uint32_t a, uint32_t b) const;
    // Ticks that `ms` milliseconds last at one tempo, truncated toward zero.
    int64_t ticksForMilliseconds(double ms, uint32_t usPerQuarter) const;
    // The signed tick offset that moves `ms` milliseconds from tick `from`.
    int64_t tickOffset(int64_t ms, uint32_t from) const;


private:
    long tempoSegmentAt(uint32_t tick) const;

    uint16_t division_ = 0;
    uint32_t songEnd_ = 0;
    std::vector<Measure> measures_;
    // For each measure, the largest end (start + length) of it and all before it.
    std::vector<uint64_t> maxEndSoFar_;
    std::vector<TempoRecord> tempos_;
    bool impliedTempo_ = false;
};

// The text shown for a position when there is none.
inline constexpr const char* kNoPositionText = "000 : 0 : 000";

}  // namespace kantor
