#pragma once
// Projects of other singing editors (.ust, .ustx) made into songs through the application
// owner, as a MusicXML score is: the MIDI file is written beside the song, and every track
// of the project (or the one chosen) sings its lyrics on a Vox channel of its own.
#include <string>

namespace kantor {

class Hub;
struct ScoreImport;

// Reads the project, writes its MIDI file beside `songPath` (named after the song) and the
// song, with track `track` (1-based; 0 = every track with notes) singing in `voiceName`
// ("" = the default voice). The hub then holds the new song; `result.summary` says which
// track sings where, the tempos, and what was not carried. Nothing is written when the
// project, the voice or a syllable is not right; an existing song or MIDI file is replaced
// only with `replace`, and the two appear together or not at all (writeImportedSong).
bool importProjectAsSong(Hub& hub, const std::string& projectPath, const std::string& songPath, int track,
                         const std::string& voiceName, ScoreImport& result, std::string& error, bool replace = true);

}  // namespace kantor
