#include "hub/SongImport.h"

#include <filesystem>

#include "base/FileIO.h"
#include "hub/Hub.h"
#include "import/MidiLyrics.h"
#include "import/MidiLyricsWriter.h"
#include "import/MusicXml.h"
#include "import/UstProject.h"
#include "hub/ProjectImport.h"
#include "song/LyricsImport.h"
#include "song/VoiceSettings.h"
#include "voice/SyllableLookup.h"
#include "voice/SyllableTable.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// Resolves typed syllables through a voice, loading it first.
bool voiceResolver(Hub& hub, const std::string& voiceName, SyllableResolver& resolve, std::string& error) {
    if (!hub.voices().ensureVoiceLoaded(voiceName)) {
        error = "voice " + voiceName + ": " + hub.voices().lastError();
        return false;
    }
    const Voice* v = hub.voices().findVoice(voiceName);
    if (!v) {
        error = "voice " + voiceName + " is not loaded";
        return false;
    }
    VoiceBank& bank = hub.voices();
    resolve = [&bank, v](const std::string& typed, std::string& code) { return resolveSyllable(bank, *v, typed, code); };
    return true;
}

}  // namespace

bool midiHasLyricsFor(const Hub& hub, int c) {
    if (!hub.hasMidi()) return false;
    std::vector<NoteLyric> notes;
    MidiLyricsReport report;
    std::string error;
    bool none = false;
    return midiLyricsOnNotes(hub.midi(), c, notes, report, error, &none) || !none;
}

bool takeMidiLyrics(Hub& hub, int c, std::vector<std::string>& told, std::string& error) {
    std::vector<NoteLyric> notes;
    MidiLyricsReport report;
    SyllableResolver resolve;
    told.clear();
    if (!midiLyricsOnNotes(hub.midi(), c, notes, report, error)) return false;
    if (!voiceResolver(hub, hub.song().resolveChannelSettings(c).voiceName, resolve, error)) return false;
    if (!applyNoteLyrics(hub.song(), c, notes, resolve, error)) return false;
    told = report.notes();
    return true;
}

bool exportMidiWithLyrics(Hub& hub, const std::string& path, bool cp932, std::string& error) {
    const std::string midiPath = hub.midi().path();
    if (sameFile(path, midiPath) || (!hub.song().songPath().empty() && sameFile(path, hub.song().songPath()))) {
        error = path + " is the song's own file; choose another name";
        return false;
    }
    std::vector<uint8_t> smf;
    if (const ReadStatus st = readWholeFile(midiPath, smf); st != ReadStatus::Ok) {
        error = "cannot read " + midiPath + ": " + readStatusText(st);
        return false;
    }
    // The kana of a code as the channel's voice has it, else as the syllable table has it.
    KanaOfCode kana = [&](int c, const std::string& code) {
        SyllableMatch m;
        if (hub.voices().findSyllableByCode(hub.song().resolveChannelSettings(c).voiceName, code, m) && !m.kana.empty())
            return m.kana;
        for (const SyllableRow& row : syllableTable())
            if (row.code == code) return std::string(row.kana);
        return std::string();
    };
    std::vector<uint8_t> bytes;
    if (!midiWithLyrics(smf, hub.midi(), hub.song(), kana, cp932, bytes, error)) {
        error = midiPath + ": " + error;
        return false;
    }
    std::string why;
    if (!writeFileAtomically(path, bytes, &why)) {
        error = "cannot write " + path + ": " + why;
        return false;
    }
    return true;
}

bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath, int part,
                       const std::string& voiceName, ScoreImport& result, std::string& error) {
    // Projects of other singing editors (.ust, .ustx) come in the same way.
    if (isSingingProjectPath(scorePath)) return importProjectAsSong(hub, scorePath, songPath, part, voiceName, result, error);
    MusicXmlSong score;
    if (!importMusicXml(scorePath, part, score, error)) return false;
    std::string base = fileNameOf(songPath);
    if (base.size() > 4 && (base.ends_with(".uta") || base.ends_with(".UTA"))) base.resize(base.size() - 4);
    const std::string folder = folderOf(songPath).empty() ? "." : folderOf(songPath);
    result.midiPath = joinPath(folder, base + ".mid");
    for (const std::string& out : {songPath, result.midiPath}) {
        if (sameFile(out, scorePath)) {
            error = out + " is the score itself; choose another name";
            return false;
        }
    }
    // Everything that can go wrong with the lyrics is found before anything is written.
    const std::string voice = voiceName.empty() ? std::string(kDefaultVoiceName) : voiceName;
    SyllableResolver resolve;
    if (!voiceResolver(hub, voice, resolve, error)) return false;
    for (const NoteLyric& nl : score.lyrics) {
        for (const std::string& s : nl.syllables) {
            std::string code;
            if (!resolve(s, code)) {
                error = nl.where + ": the voice " + voice + " has no syllable \"" + s + "\"";
                return false;
            }
        }
    }
    std::string why;
    if (!writeFileAtomically(result.midiPath, score.smf, &why)) {
        error = "cannot write " + result.midiPath + ": " + why;
        return false;
    }
    auto undo = [&] {
        std::error_code ec;
        std::filesystem::remove(result.midiPath, ec);
        return false;
    };
    if (!hub.openMidi(result.midiPath)) {
        error = "the MIDI file made from the score cannot be opened";
        return undo();
    }
    Song& song = hub.song();
    song.songDefaults().voiceName = voice;
    const MusicXmlPart& sung = score.parts[static_cast<std::size_t>(score.sungPart)];
    const int c = sung.channel;
    if (!hub.session().makeVoxChannel(c) || !applyNoteLyrics(song, c, score.lyrics, resolve, error)) {
        if (error.empty()) error = song.lastError();
        return undo();
    }
    if (!hub.saveAs(songPath)) {
        error = "the song cannot be saved as " + songPath;
        return undo();
    }
    result.summary = "part " + std::to_string(score.sungPart + 1) + " (" + (sung.name.empty() ? sung.id : sung.name) +
                     ") sings on channel " + std::to_string(c + 1) + ": " + std::to_string(sung.notes) + " notes, " +
                     std::to_string(score.lyrics.size()) + " with syllables";
    return true;
}

}  // namespace kantor
