#include "hub/SongImport.h"

#include <filesystem>

#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "hub/Hub.h"
#include "import/MidiLyrics.h"
#include "import/MidiLyricsWriter.h"
#include "import/MusicXml.h"
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

}  // namespace

bool midiHasLyricsFor(const Hub& hub, int c) {
    if (!hub.hasMidi()) return false;
    std::vector<NoteLyric> notes;
    std::size_t unplaced = 0;
    std::string error;
    bool none = false;
    return midiLyricsOnNotes(hub.midi(), c, notes, unplaced, error, &none) || !none;
}

bool takeMidiLyrics(Hub& hub, int c, std::size_t& unplaced, std::string& error) {
    std::vector<NoteLyric> notes;
    SyllableResolver resolve;
    if (!midiLyricsOnNotes(hub.midi(), c, notes, unplaced, error)) return false;
    if (!voiceResolver(hub, hub.song().resolveChannelSettings(c).voiceName, resolve, error)) return false;
    return applyNoteLyrics(hub.song(), c, notes, resolve, error);
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

bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath, int part,
                       const std::string& voiceName, ScoreImport& result, std::string& error) {
    MusicXmlSong score;
    if (!importMusicXml(scorePath, part, score, error)) return false;
    std::string base = fileNameOf(songPath);
    if (base.size() > 4 && (base.ends_with(".uta") || base.ends_with(".UTA"))) base.resize(base.size() - 4);
    const std::string folder = folderOf(songPath).empty() ? "." : folderOf(songPath);
    result.midiPath = joinPath(folder, base + ".mid");
    for (const std::string& out : {songPath, result.midiPath}) {
        if (sameFile(out, scorePath)) {
            error = fillText(KANTOR_TEXT("%s は読み込む楽譜そのものです。別の名前を選んでください。"), {out});
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
                error = fillText(KANTOR_TEXT("%s: 音源 %s に音節「%s」がありません。"), {nl.where, voice, s});
                return false;
            }
        }
    }
    std::string why;
    if (!writeFileAtomically(result.midiPath, score.smf, &why)) {
        error = fillText(KANTOR_TEXT("%s に書き込めません: %s"), {result.midiPath, translated(why)});
        return false;
    }
    auto undo = [&] {
        std::error_code ec;
        std::filesystem::remove(result.midiPath, ec);
        return false;
    };
    if (!hub.openMidi(result.midiPath)) {
        error = KANTOR_TEXT("楽譜から作ったMIDIファイルを開けません。");
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
        error = fillText(KANTOR_TEXT("ソングを %s として保存できません。"), {songPath});
        return undo();
    }
    result.summary = fillText(KANTOR_TEXT("パート %s（%s）をチャンネル %s で歌います: ノート %s 個、うち音節のあるもの %s 個"),
                              {std::to_string(score.sungPart + 1), sung.name.empty() ? sung.id : sung.name,
                               std::to_string(c + 1), std::to_string(sung.notes), std::to_string(score.lyrics.size())});
    return true;
}

}  // namespace kantor
