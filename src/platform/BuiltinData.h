#pragma once
// The data that comes with the program: the built-in voices MaleVox and FemaleVox and the
// demo song. They are made when the program is built and put into the user's voice and
// sample folders on the first start that finds them missing.
#include <string>
#include <vector>

namespace kantor {

class Folders;

inline constexpr const char* kBuiltinVoiceNames[] = {"MaleVox", "FemaleVox"};
inline constexpr const char* kDemoSongFiles[] = {"DEMOS20.mid", "DEMOS20.uta", "DEMOS21.uta"};

// Folders that may hold the built data (each with voices/ and sample/ below it), in the
// order they are looked at: $KANTOR_BUILTIN_DIR, the build tree the program was built in,
// and share/kantor beside the program's folder.
std::vector<std::string> builtinDataFolders(const Folders& folders);

// Puts every built-in file that is missing into the voice or sample folder (a hard link
// where the file system allows, else a copy). Returns the files put in place; a file that
// is found nowhere is left out and named in `missing`.
std::vector<std::string> installBuiltinData(const Folders& folders, std::vector<std::string>* missing = nullptr);

}  // namespace kantor
