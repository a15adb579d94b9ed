#pragma once
// The commands of kantor-cli. Each returns the process exit status:
// 0 success, 1 failure (the reason on `err`), 2 usage error.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace kantor::cli {

using Args = std::vector<std::string>;

// kantor-cli info [--json] FILE   (.mid/.midi, .uta, .vxb, .wav by extension)
int info(const Args& args, std::ostream& out, std::ostream& err);
int infoMidi(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoSong(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoVoice(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoWav(const std::string& path, bool json, std::ostream& out, std::ostream& err);

// "480 ticks per quarter note", or the time code a division with its top bit set means.
std::string divisionText(uint16_t division);

// kantor-cli pos FILE.mid TICK...
int pos(const Args& args, std::ostream& out, std::ostream& err);

// kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]
int play(const Args& args, std::ostream& out, std::ostream& err);

// kantor-cli render SONG.uta -o OUT.wav [--from TICK] [--to TICK] [--quality CODE]
// kantor-cli render SONG.uta --mix -o OUT.wav [--from TICK] [--to TICK]
int render(const Args& args, std::ostream& out, std::ostream& err);
// kantor-cli phrase SONG.uta --channel C --note N -o OUT.wav
int phrase(const Args& args, std::ostream& out, std::ostream& err);
// kantor-cli new MIDI.mid -o SONG.uta --vox C --lyrics FILE [--voice NAME]
int newSong(const Args& args, std::ostream& out, std::ostream& err);

// kantor-cli voice list|info ID|import FILE|export ID FILE|delete ID|build PROJECT [--replace ID]|automark PROJECT
int voice(const Args& args, std::ostream& out, std::ostream& err);

// Runs a whole command line (args without the program name).
int run(const Args& args, std::ostream& out, std::ostream& err);

void usage(std::ostream& err);

}  // namespace kantor::cli
