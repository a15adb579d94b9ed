#include "hub/ProjectImport.h"

#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "hub/Hub.h"
#include "hub/SongImport.h"
#include "import/UstProject.h"
#include "song/LyricsImport.h"
#include "song/VoiceSettings.h"
#include "voice/SyllableLookup.h"
#include "voice/VoiceBank.h"

namespace kantor {

bool importProjectAsSong(Hub& hub, const std::string& projectPath, const std::string& songPath, int track,
                         const std::string& voiceName, ScoreImport& result, std::string& error, bool replace) {
    ProjectSong project;
    if (!importSingingProject(projectPath, track, project, error)) return false;
    result.midiPath = scoreMidiPathOf(songPath);
    for (const std::string& out : {songPath, result.midiPath}) {
        if (sameFile(out, projectPath)) {
            error = fillText(KANTOR_TEXT("%s は読み込むプロジェクトそのものです。別の名前を選んでください。"), {out});
            return false;
        }
    }
    // Every syllable is found in the voice before anything is written.
    const std::string voice = voiceName.empty() ? std::string(kDefaultVoiceName) : voiceName;
    if (!hub.voices().ensureVoiceLoaded(voice)) {
        error = fillText(KANTOR_TEXT("音源 %s: %s"), {voice, translated(hub.voices().lastError())});
        return false;
    }
    const Voice* v = hub.voices().findVoice(voice);
    if (!v) {
        error = fillText(KANTOR_TEXT("音源 %s を読み込めません。"), {voice});
        return false;
    }
    VoiceBank& bank = hub.voices();
    const SyllableResolver resolve = [&bank, v](const std::string& typed, std::string& code) {
        return resolveSyllable(bank, *v, typed, code);
    };
    for (const ProjectTrackSong& t : project.tracks)
        for (const NoteLyric& nl : t.lyrics)
            for (const std::string& s : nl.syllables) {
                std::string code;
                if (!resolve(s, code)) {
                    error = fillText(KANTOR_TEXT("%s: 音源 %s に音節「%s」がありません。"), {nl.where, voice, s});
                    return false;
                }
            }
    result.summary.clear();
    auto fill = [&](Song& song, std::string& why) {
        song.songDefaults().voiceName = voice;
        for (const ProjectTrackSong& t : project.tracks) {
            if (!hub.session().makeVoxChannel(t.channel) || !applyNoteLyrics(song, t.channel, t.lyrics, resolve, why)) {
                if (why.empty()) why = song.lastError();
                return false;
            }
            result.summary += (result.summary.empty() ? "" : "\n") +
                              fillText(KANTOR_TEXT("トラック「%s」をチャンネル %s で歌います: ノート %s 個、うち音節のあるもの %s 個"),
                                       {shownText(t.name, 32), std::to_string(t.channel + 1), std::to_string(t.notes),
                                        std::to_string(t.lyrics.size())});
        }
        return true;
    };
    if (!writeImportedSong(hub, project.smf, result.midiPath, songPath, replace, fill, error)) return false;
    result.summary += "\n" + fillText(KANTOR_TEXT("テンポ: %s"), {std::to_string(project.tempos)});
    if (!project.notCarried.empty())
        result.summary += "\n" + fillText(KANTOR_TEXT("引き継がなかったもの: %s"), {project.notCarried});
    return true;
}

}  // namespace kantor
