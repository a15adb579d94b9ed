#include "hub/SongImport.h"

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/FilePair.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "hub/Hub.h"
#include "import/MidiLyrics.h"
#include "import/MidiLyricsWriter.h"
#include "import/MusicXml.h"
#include "import/UstProject.h"
#include "hub/ProjectImport.h"
#include "song/LyricsImport.h"
#include "song/SongFile.h"
#include "song/VoiceSettings.h"
#include "voice/SyllableLookup.h"
#include "voice/SyllableTable.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// Resolves typed syllables through a voice, loading it first.
bool voiceResolver(Hub& hub, const std::string& voiceName, SyllableResolver& resolve, std::string& error) {
    if (!hub.voices().ensureVoiceLoaded(voiceName)) {
        error = fillText(KANTOR_TEXT("音源 %s: %s"), {voiceName, hub.voices().lastError()});
        return false;
    }
    const Voice* v = hub.voices().findVoice(voiceName);
    if (!v) {
        error = fillText(KANTOR_TEXT("音源 %s が読み込まれていません。"), {voiceName});
        return false;
    }
    VoiceBank& bank = hub.voices();
    resolve = [&bank, v](const std::string& typed, std::string& code) { return resolveSyllable(bank, *v, typed, code); };
    return true;
}

// What the import made of the score, one line each.
std::string scoreSummary(const MusicXmlSong& score, const MusicXmlOptions& options) {
    const MusicXmlPart& sung = score.parts[static_cast<std::size_t>(score.sungPart)];
    std::string name = sung.name.empty() ? sung.id : sung.name;
    if (name.size() > 40) {  // a name is shown, not a text
        std::size_t cut = 40;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name = name.substr(0, cut) + "…";
    }
    const std::string part = std::to_string(score.sungPart + 1) + (name.empty() ? "" : " (" + printableText(name) + ")");
    std::string s = fillText(KANTOR_TEXT("パート %s がﾁｬﾝﾈﾙ %s で歌います: 音符 %s、音節のある音符 %s。"),
                             {part, std::to_string(sung.channel + 1), std::to_string(sung.notes),
                              std::to_string(score.lyrics.size())});
    s += "\n" + fillText(KANTOR_TEXT("楽譜: %s 小節、音符 %s。曲: %s 小節、音符 %s。"),
                         {std::to_string(score.scoreMeasures), std::to_string(sung.scoreNotes),
                          std::to_string(score.songMeasures), std::to_string(sung.notes)});
    if (!options.repeats) s += "\n" + std::string(KANTOR_TEXT("繰り返しをせず、楽譜に書かれたとおり一度通しました。"));
    if (sung.verses.size() > 1) {
        std::string all;
        for (int v : sung.verses) all += (all.empty() ? "" : ",") + std::to_string(v);
        s += "\n" + fillText(KANTOR_TEXT("歌詞 %s 番を歌います（パートの歌詞は %s 番）。"),
                             {std::to_string(score.verse), all});
    }
    if (score.melismaNotes > 0)
        s += "\n" + fillText(KANTOR_TEXT("歌詞のない音符 %s 個は前の音節の母音を伸ばして歌います。"),
                             {std::to_string(score.melismaNotes)});
    if (score.silentNotes > 0 && score.verse > 0)
        s += "\n" + fillText(KANTOR_TEXT("休符のあとの歌詞のない音符 %s 個は歌いません。"),
                             {std::to_string(score.silentNotes)});
    for (const std::string& w : score.warnings) s += "\n" + w;
    return s;
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
        error = fillText(KANTOR_TEXT("%s はこのソングのファイルです。別の名前を選んでください。"), {path});
        return false;
    }
    std::vector<uint8_t> smf;
    if (const ReadStatus st = readWholeFile(midiPath, smf); st != ReadStatus::Ok) {
        error = fillText(KANTOR_TEXT("%s を読み込めません: %s"), {midiPath, translated(readStatusText(st))});
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
        error = fillText(KANTOR_TEXT("%s に書き込めません: %s"), {path, translated(why)});
        return false;
    }
    return true;
}

bool writeImportedSong(Hub& hub, const std::vector<uint8_t>& smf, const std::string& midiPath,
                       const std::string& songPath, bool replace, const std::function<bool(Song&, std::string&)>& fill,
                       std::string& error) {
    // Held from before the outputs are looked at until both are in place, so that another
    // program changing the song waits, and a song that comes meanwhile is seen.
    FileLock lock(songPath, std::chrono::seconds(10));
    if (!lock.locked()) {
        error = lock.error();
        return false;
    }
    // An import of this song cut short by a kill is finished first.
    if (!recoverFilePair(midiPath, songPath, error)) return false;
    for (const std::string& out : {midiPath, songPath}) {
        struct stat st {};
        if (::stat(out.c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode)) {
            error = fillText(KANTOR_TEXT("%s は通常のファイルではありません。"), {out});
            return false;
        }
        if (!replace) {
            error = fillText(KANTOR_TEXT("%s はすでにあります（置き換えるには --force を付けてください）。"), {out});
            return false;
        }
    }
    // Nothing is written until the song is complete: the MIDI file is opened from memory
    // under the name it will have.
    if (!hub.openMidiImage(smf, midiPath)) {
        error = KANTOR_TEXT("楽譜から作ったMIDIファイルを開けません。");
        return false;
    }
    Song& song = hub.song();
    if (!fill(song, error)) return false;
    std::vector<uint8_t> songBytes;
    SongFile file;
    if (!file.build(song, midiPath, hub.midi().division(), songBytes)) {
        error = file.lastError();
        return false;
    }
    // The MIDI file and the song appear together or not at all (base/FilePair.h).
    if (!writeFilePair(midiPath, smf, songPath, songBytes, error)) return false;
    lock.unlock();
    if (!hub.openSong(songPath)) {
        error = fillText(KANTOR_TEXT("ソング %s は書き込みましたが、開けません。"), {songPath});
        return false;
    }
    return true;
}

std::string scoreMidiPathOf(const std::string& songPath) {
    std::string base = fileNameOf(songPath);
    if (base.size() > 4 && (base.ends_with(".uta") || base.ends_with(".UTA"))) base.resize(base.size() - 4);
    const std::string folder = folderOf(songPath).empty() ? "." : folderOf(songPath);
    return joinPath(folder, base + ".mid");
}

bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath, int part,
                       const std::string& voiceName, ScoreImport& result, std::string& error, bool replace) {
    MusicXmlOptions options;
    options.part = part;
    return importScoreAsSong(hub, scorePath, songPath, options, voiceName, result, error, replace);
}

namespace {
bool importScore(Hub& hub, const std::string& scorePath, const std::string& songPath, const MusicXmlOptions& options,
                 const std::string& voiceName, ScoreImport& result, std::string& error, bool replace);
}  // namespace

bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath,
                       const MusicXmlOptions& options, const std::string& voiceName, ScoreImport& result,
                       std::string& error, bool replace) {
    // Projects of other singing editors (.ust, .ustx) come in the same way.
    if (isSingingProjectPath(scorePath))
        return importProjectAsSong(hub, scorePath, songPath, options.part, voiceName, result, error, replace);
    try {
        return importScore(hub, scorePath, songPath, options, voiceName, result, error, replace);
    } catch (const std::bad_alloc&) {
        // Nothing is written before the song is complete, so nothing is left to take back.
        error = scorePath + ": " + text::kOutOfMemory;
        return false;
    }
}

namespace {
bool importScore(Hub& hub, const std::string& scorePath, const std::string& songPath, const MusicXmlOptions& options,
                 const std::string& voiceName, ScoreImport& result, std::string& error, bool replace) {
    MusicXmlSong score;
    if (!importMusicXml(scorePath, options, score, error)) return false;
    result.midiPath = scoreMidiPathOf(songPath);
    for (const std::string& out : {songPath, result.midiPath}) {
        if (sameFile(out, scorePath)) {
            error = fillText(KANTOR_TEXT("%s は読み込む楽譜そのものです。別の名前を選んでください。"), {out});
            return false;
        }
    }
    // Everything that can go wrong with the lyrics is found before anything is written.
    const std::string voice = voiceName.empty() ? std::string(kDefaultVoiceName) : voiceName;
    SyllableResolver lookup;
    if (!voiceResolver(hub, voice, lookup, error)) return false;
    // A song repeats its few syllables many times: each is looked up in the voice once.
    auto known = std::make_shared<std::map<std::string, std::pair<bool, std::string>>>();
    SyllableResolver resolve = [lookup, known](const std::string& typed, std::string& code) {
        auto it = known->find(typed);
        if (it == known->end()) {
            std::string c;
            const bool ok = lookup(typed, c);
            it = known->emplace(typed, std::make_pair(ok, c)).first;
        }
        code = it->second.second;
        return it->second.first;
    };
    for (const NoteLyric& nl : score.lyrics) {
        for (const std::string& s : nl.syllables) {
            std::string code;
            if (!resolve(s, code)) {
                error = fillText(KANTOR_TEXT("%s: 音源 %s に音節「%s」がありません。"), {nl.where, voice, s});
                return false;
            }
        }
    }
    const MusicXmlPart& sung = score.parts[static_cast<std::size_t>(score.sungPart)];
    const int c = sung.channel;
    auto fill = [&](Song& song, std::string& why) {
        song.songDefaults().voiceName = voice;
        if (!hub.session().makeVoxChannel(c) || !applyNoteLyrics(song, c, score.lyrics, resolve, why)) {
            if (why.empty()) why = song.lastError();
            return false;
        }
        return true;
    };
    if (!writeImportedSong(hub, score.smf, result.midiPath, songPath, replace, fill, error)) return false;
    result.summary = scoreSummary(score, options);
    result.warnings = !score.warnings.empty();
    return true;
}
}  // namespace

}  // namespace kantor
