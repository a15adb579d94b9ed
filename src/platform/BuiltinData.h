#pragma once
// The data that comes with the program: the built-in voices MaleVox and FemaleVox and the
// demo song. They are made when the program is built. The voices are read where they lie
// (shared by every user, never copied); the demo song is put into the user's sample folder
// on the first start that finds it missing, so that the user can change and save it.
#include <string>
#include <vector>

namespace kantor {

class Folders;

inline constexpr const char* kBuiltinVoiceNames[] = {"MaleVox", "FemaleVox"};
inline constexpr const char* kDemoSongFiles[] = {"DEMOS20.mid", "DEMOS20.uta", "DEMOS21.uta"};

// Folders that may hold the built data (each with voices/ and sample/ below it), in the
// order they are looked at: $KANTOR_BUILTIN_DIR, share/kantor beside the program's folder
// (an installed program), and the build tree the program was built in (a program run from
// that tree). An installed program never reads the build tree while its own data is there.
std::vector<std::string> builtinDataFolders(const Folders& folders);

// The folders of built-in voices that exist (voices/ of the data folders above, then, for
// an installed program, the folder the package makes them in at install time), for
// VoiceBank::setSharedFolders.
std::vector<std::string> builtinVoiceFolders(const Folders& folders);

// Where the package makes the built-in voices when it is installed, for a program in
// installFolder (<prefix>/bin): /var/lib/kantor/voices under the prefix /usr, else
// <prefix>/var/lib/kantor/voices.
std::string installedVoiceFolder(const std::string& installFolder);

// Puts every file of the demo song that is missing into the sample folder (a hard link
// where the file system allows, else a copy). Returns the files put in place; a file that
// is found nowhere is left out and named in `missing`; a file that is found but cannot be
// put in place (no room, no permission) is named with the reason in `failed`.
std::vector<std::string> installBuiltinData(const Folders& folders, std::vector<std::string>* missing = nullptr,
                                            std::vector<std::string>* failed = nullptr);

}  // namespace kantor
