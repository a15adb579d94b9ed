#pragma once
// Importing a voice bank folder in the oto.ini form into a voice data project, and from
// there into a voice of the voice folder.
//
// Every folder of the bank may hold an oto.ini; its lines name WAV files of that folder.
// Each usable line becomes one project item (a syllable of the table at one pitch):
//   - the item's sound starts up to 100 ms before the line's offset and ends at its cutoff
//     (at most two seconds), 16-bit mono 44,100 Hz;
//   - marker A is the offset, B the preutterance, C the end of the consonant (fixed) part
//     and D the cutoff (at most one second after B), C and D moved by a few periods at most
//     onto rising zero crossings a whole number of periods apart so that the loop does not
//     click;
//   - where the fixed part runs past the steady vowel, or C..D would be shorter than
//     50 ms, C and D come from the voice data maker's automatic markers instead (counted);
//   - the pitch is measured on the held part of every kept sample; prefix.map, a note name
//     the alias carries or one in the folder's name only group the lines (one recorded pitch
//     each). A tag within a semitone of the measure is kept; one further away gives way to
//     the measure (named in the summary); a sample that cannot be measured keeps its tag.
// Of several plain lines for one syllable in one group the first head entry ("か", "- か")
// is used, else the first entry after a vowel ("a か"). Every VCV line ("a か", "n か") and
// CVVC ending ("a k") is also kept, the first of each syllable, sound before and group, as
// the voice's context samples (VoiceProject::contextItems). Lines that cannot be used are
// skipped and reported with their file and line number. Nothing in the bank is written.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {

class VoiceBank;

enum class SkipReason {
    BadLine,        // not FILE=ALIAS,numbers
    MissingWave,    // the WAV file is not there
    BadWave,        // the WAV file cannot be read
    PastEnd,        // the times lie past the end of the file (or before its start)
    NoSyllable,     // the alias names no syllable of the table
    LongLeadIn,     // the preutterance lies more than one second after the offset
    NoRoom,         // no room for a loop between the preutterance and the cutoff
    OutsideBank,    // the file lies outside the bank folder (a ".." or absolute name, or a link)
    NotAFile,       // a folder, a named pipe, a device: not a file that can be read
};
const char* skipReasonText(SkipReason reason);

struct SkippedLine {
    std::string file;    // the oto.ini (or the refused file), relative to the bank folder
    int line = 0;        // counted from 1; 0 when the whole file is refused
    SkipReason reason = SkipReason::BadLine;
    std::string text;    // the line (UTF-8)
    std::string detail;  // what the file is, or why it cannot be read ("a folder, not a file")
};

struct BankSummary {
    std::string voiceName;
    std::string readme;       // readme.txt as UTF-8, "" when the bank has none
    int otoFiles = 0;
    int lines = 0;            // lines that are not blank
    int samples = 0;          // items made
    int pitches = 0;          // distinct pitches among them
    int autoMarked = 0;       // items whose C and D come from the automatic markers
    int measuredPitch = 0;    // items whose pitch was measured
    int headSamples = 0;      // plain samples from head entries written "- か"
    int vcvSamples = 0;       // samples of a syllable reached from a vowel or ん ("a か")
    int endingSamples = 0;    // CVVC endings into a consonant ("a k")
    // "FILE:LINE: ALIAS: tagged T, measured M, sung as P" for every sample whose tag lay
    // more than a semitone from its measure, and the samples whose pitch could not be measured.
    std::vector<std::string> correctedPitches, unmeasuredPitches;
    int unused = 0;           // usable lines not needed: another line gives that syllable at that pitch
    std::vector<SkippedLine> skipped;
    int skippedFor(SkipReason reason) const;
    // A few lines for people: counts, then each skipped line "FILE:LINE: reason: text"
    // ("FILE: reason" for a refused file). Texts from the bank are printed with control
    // bytes escaped, one line each, long ones cut.
    std::string text() const;
};

// Called between steps with the work done and the whole; returning false stops the
// import (it then fails with "cancelled" and leaves nothing behind).
using BankProgress = std::function<bool(int done, int total)>;

class BankImporter : public LastError {
public:
    // Reads the bank into `project` (voice name from `name`, else character.txt, else the
    // folder's name; 44,100 Hz output, each item normalized). Fails when the folder cannot
    // be read, holds no oto.ini, or no line gives a sample.
    bool read(const std::string& bankFolder, const std::string& name, VoiceProject& project, BankSummary& summary,
              const BankProgress& progress = {});

    // Reads the bank and builds a new voice in the voice folder; its identifier goes to
    // `identifier`, the bank's readme.txt is kept beside it as IDENTIFIER.readme.txt. The
    // readme takes its name just before the voice does, so a voice never lacks its readme.
    // On failure nothing is left in the voice folder, and the reason names the file.
    bool importVoice(const std::string& bankFolder, const std::string& name, const std::string& voiceFolder,
                     std::string& identifier, BankSummary& summary, VoiceBank* bank = nullptr,
                     const BankProgress& progress = {});
    // Reads the bank and saves it as a voice data project (its readme beside it as
    // NAME.readme.txt, NAME being the project's file name without its extension). An
    // existing project file is replaced only once the new one is complete.
    //
    // The project and its readme must lie outside the bank folder (the bank is only read),
    // and existing files are replaced only with `replace`. The project's lock is held from
    // before the first write. Failures name the file and the reason.
    bool importProject(const std::string& bankFolder, const std::string& name, const std::string& projectPath,
                       BankSummary& summary, const BankProgress& progress = {}, bool replace = false);

private:
    bool readBank(const std::string& bankFolder, const std::string& name, VoiceProject& project,
                  BankSummary& summary, const BankProgress& progress);
};

// Where the readme of a voice or project file is kept: the same path with ".readme.txt"
// in place of its extension.
std::string readmePathFor(const std::string& voiceOrProjectPath);

}  // namespace kantor
