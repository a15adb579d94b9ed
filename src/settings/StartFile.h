#pragma once
// The file named on the command line, opened once the main panel is up.
#include <string>
#include <string_view>

namespace kantor {

enum class StartFileKind { None, Midi, Song };

// The command-line arguments after the program name, joined by single spaces, with every
// double quote character removed (so an unquoted path with spaces still arrives whole).
std::string startFileFromArguments(int argc, const char* const* argv);

// What the start file opens as: its last three characters "mid" (any letter case) open it
// as a MIDI file, "uta" as a song file; anything else (or an empty text) is ignored.
StartFileKind startFileKind(std::string_view startFile);

}  // namespace kantor
