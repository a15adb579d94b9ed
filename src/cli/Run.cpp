#include <algorithm>
#include <cctype>
#include <ostream>

#include "cli/Commands.h"

namespace kantor::cli {

void usage(std::ostream& err) {
    err << "usage: kantor-cli COMMAND ...\n"
           "  info [--json] FILE          summary of a MIDI (.mid), song (.uta), voice (.vxb) or WAV (.wav) file\n"
           "  pos FILE.mid TICK...        position text and milliseconds of ticks\n"
           "  play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]\n"
           "                              play a song (MIDI and vocal) or a MIDI file in real time\n"
           "  render SONG.uta -o OUT.wav [--from TICK] [--to TICK] [--quality CODE]\n"
           "                              sing the song into a WAV file\n"
           "  render SONG.uta --mix -o OUT.wav [--from TICK] [--to TICK]\n"
           "                              mix MIDI, vocal and inserted waves into a stereo WAV file\n"
           "  phrase SONG.uta --channel C --note N -o OUT.wav\n"
           "                              sing the phrase of a note (N counted from 1) into a WAV file\n"
           "  new MIDI.mid -o SONG.uta --vox C --lyrics FILE [--vox C --lyrics FILE ...] [--voice NAME]\n"
           "                              make a song: channel C sings the lyrics of FILE\n"
           "  voice [--voice-dir DIR] list|info ID|import FILE|export ID FILE|delete ID|build PROJECT.vxbprj [--replace ID]|automark PROJECT.vxbprj\n"
           "  effect list|add FILE.ncp|remove N\n"
           "                              the registered effect plug-ins (numbers as songs refer to them)\n"
           "  effect set SONG.uta [--channel C [--note N]] [P:E [P:E [P:E]]]\n"
           "                              the effects of the song, a channel or a phrase (plug-in:effect)\n"
           "  song commands also take --voice-dir DIR, --config-dir DIR and --data-dir DIR\n";
}

static std::string lowerExtension(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int info(const Args& args, std::ostream& out, std::ostream& err) {
    bool json = false;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "info: unknown option " << a << "\n";
            return 2;
        } else if (path.empty()) {
            path = a;
        } else {
            err << "info: one file at a time\n";
            return 2;
        }
    }
    if (path.empty()) {
        usage(err);
        return 2;
    }
    std::string ext = lowerExtension(path);
    if (ext == "mid" || ext == "midi" || ext == "smf" || ext == "rmi") return infoMidi(path, json, out, err);
    if (ext == "uta") return infoSong(path, json, out, err);
    if (ext == "vxb") return infoVoice(path, json, out, err);
    if (ext == "wav") return infoWav(path, json, out, err);
    err << "info: unknown file type: " << path << "\n";
    return 2;
}

int run(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? err : out);
        return args.empty() ? 2 : 0;
    }
    Args rest(args.begin() + 1, args.end());
    const std::string& cmd = args[0];
    if (cmd == "info") return info(rest, out, err);
    if (cmd == "pos") return pos(rest, out, err);
    if (cmd == "play") return play(rest, out, err);
    if (cmd == "voice") return voice(rest, out, err);
    if (cmd == "render") return render(rest, out, err);
    if (cmd == "phrase") return phrase(rest, out, err);
    if (cmd == "new") return newSong(rest, out, err);
    if (cmd == "effect") return effect(rest, out, err);
    err << "unknown command: " << cmd << "\n";
    usage(err);
    return 2;
}

}  // namespace kantor::cli
