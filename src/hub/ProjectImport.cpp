#include "hub/ProjectImport.h"

#include <filesystem>

#include "base/FileIO.h"
#include "hub/Hub.h"
#include "hub/SongImport.h"
#include "import/UstProject.h"
#include "song/LyricsImport.h"
#include "song/VoiceSettings.h"
#include "voice/SyllableLookup.h"
#include "voice/VoiceBank.h"

namespace kantor {

bool importProjectAsSong(Hub& hub, const std::string& projectPath, const std::string& songPath, int track,
                         const std::string& voiceName, ScoreImport& result, std::string& error) {
    ProjectSong project;
    if (!importSingingProject(projectPath, track, project, error)) return false;
    std::string base = fileNameOf(songPath);
    if (base.size() > 4 && (base.ends_with(".uta") || base.ends_with(".UTA"))) base.resize(base.size() - 4);
    const std::string folder = folderOf(songPath).empty() ? "." : folderOf(songPath);
    result.midiPath = joinPath(folder, base + ".mid");
    for (const std::string& out : {songPath, result.midiPath}) {
        if (sameFile(out, projectPath)) {
            error = out + " is the project itself; choose another name";
            return false;
        }
    }
    // Every syllable is found in the voice before anything is written.
    const std::string voice = voiceName.empty() ? std::string(kDefaultVoiceName) : voiceName;
    if (!hub.voices().ensureVoiceLoaded(voice)) {
        error = "voice " + voice + ": " + hub.voices().lastError();
        return false;
    }
    const Voice* v = hub.voices().findVoice(voice);
    if (!v) {
        error = "voice " + voice + " is not loaded";
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
                    error = nl.where + ": the voice " + voice + " has no syllable \"" + s + "\"";
                    return false;
                }
            }
    std::string why;
    if (!writeFileAtomically(result.midiPath, project.smf, &why)) {
        error = "cannot write " + result.midiPath + ": " + why;
        return false;
    }
    auto undo = [&] {
        std::error_code ec;
        std::filesystem::remove(result.midiPath, ec);
        return false;
    };
    if (!hub.openMidi(result.midiPath)) {
        error = "the MIDI file made from the project cannot be opened";
        return undo();
    }
    Song& song = hub.song();
    song.songDefaults().voiceName = voice;
    result.summary.clear();
    for (const ProjectTrackSong& t : project.tracks) {
        if (!hub.session().makeVoxChannel(t.channel) || !applyNoteLyrics(song, t.channel, t.lyrics, resolve, error)) {
            if (error.empty()) error = song.lastError();
            return undo();
        }
        result.summary += (result.summary.empty() ? "" : "\n") + std::string("track \"") + shownText(t.name, 32) +
                          "\" sings on channel " + std::to_string(t.channel + 1) + ": " + std::to_string(t.notes) +
                          " notes, " + std::to_string(t.lyrics.size()) + " with syllables";
    }
    if (!hub.saveAs(songPath)) {
        error = "the song cannot be saved as " + songPath;
        return undo();
    }
    result.summary += "\n" + std::to_string(project.tempos) + (project.tempos == 1 ? " tempo" : " tempos");
    if (!project.notCarried.empty()) result.summary += "\nnot carried: " + project.notCarried;
    return true;
}

}  // namespace kantor
