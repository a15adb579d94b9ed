#pragma once
// The user's voice library: export, import and delete of voice files in the voice
// folder, and the "vxb%d" identifiers of imported and built voices. The two voices that
// come with the system, "MaleVox" and "FemaleVox", are never exported or deleted.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"

namespace kantor {

class UserPrompt;
class VoiceBank;

inline constexpr const char* kBuiltInMaleVoice = "MaleVox";
inline constexpr const char* kBuiltInFemaleVoice = "FemaleVox";

namespace librarytext {
inline constexpr const char* kSourceMissing = KANTOR_TEXT("ｺﾋﾟｰ元ﾌｧｲﾙ(%s)\nが見つかりません。");
inline constexpr const char* kAskOverwrite = KANTOR_TEXT("ｺﾋﾟｰ先ﾌｧｲﾙ(%s)\nが既に存在します。上書きしますか？");
inline constexpr const char* kCopyFailed = KANTOR_TEXT("ｺﾋﾟｰ先ﾌｧｲﾙ(%s)\nに書き込めません。");
inline constexpr const char* kBuiltInVoice = KANTOR_TEXT("付属のVoiceDataはｴｸｽﾎﾟｰﾄ・削除できません。");
inline constexpr const char* kNoSuchVoice = KANTOR_TEXT("Voice(%s)が見つかりません。");
inline constexpr const char* kBadIdentifier = KANTOR_TEXT("Voice名(%s)が正しくありません。");
inline constexpr const char* kDeleteFailed = KANTOR_TEXT("Voice(%s)を削除できません。");
inline constexpr const char* kWindowExport = KANTOR_TEXT("ｴｸｽﾎﾟｰﾄ");
inline constexpr const char* kWindowImport = KANTOR_TEXT("ｲﾝﾎﾟｰﾄ");
inline constexpr const char* kWindowDelete = KANTOR_TEXT("削除");
inline constexpr const char* kFileFilter = KANTOR_TEXT("My Kantorellion Voice Dataﾌｧｲﾙ (*.vxb)|*.vxb||");
}  // namespace librarytext

// What became of an operation the user may also call off (a file of another type, a
// "No" to a question): Cancelled leaves lastError() empty.
enum class Outcome { Done, Cancelled, Failed };

// Milliseconds of a monotonic clock, wrapping like the system tick count.
using TickSource = std::function<uint32_t()>;
uint32_t systemTickCount();

// A free identifier "vxb%d" from the tick count modulo 100,000,000: while voice folder /
// identifier ".vxb" exists, a fresh tick count is taken (one more than the last when the
// clock has not moved).
std::string newVoiceIdentifier(const std::string& voiceFolder, const TickSource& tick = systemTickCount);

bool isBuiltInVoice(const std::string& identifier);
// An identifier names a file of the voice folder: not empty, no folder separators, not
// "." or "..".
bool isValidVoiceIdentifier(const std::string& identifier);
// True when the path's extension is "vxb" (any case).
bool hasVoiceFileExtension(const std::string& path);

class VoiceLibrary : public LastError {
public:
    // Questions (overwriting a file) go to `prompt`; without one they are answered No.
    explicit VoiceLibrary(std::string voiceFolder, UserPrompt* prompt = nullptr)
        : folder_(std::move(voiceFolder)), prompt_(prompt) {}

    const std::string& voiceFolder() const { return folder_; }
    std::string voicePath(const std::string& identifier) const;
    // True when writing `path` would replace the file of a built-in voice of this folder
    // (compared by file identity, so links and other spellings of the folder count).
    bool isBuiltInVoicePath(const std::string& path) const;

    // The identifiers the library window offers, from the bank's last enumeration of
    // the voice folder: every voice except the two built-in ones, in the bank's order.
    static std::vector<std::string> offeredVoices(const VoiceBank& bank);

    // Copies voice `identifier` to `target`. A target whose extension is not "vxb"
    // calls it off. askOverwrite asks before replacing an existing target (the file
    // dialog asked already when false). Refuses the built-in voices.
    Outcome exportVoice(const std::string& identifier, const std::string& target, bool askOverwrite);
    // Copies a voice file into the voice folder under a new "vxb%d" identifier, returned
    // in `identifier`; the identifier is claimed by creating its file exclusively, so two
    // imports at once never share one. A source whose extension is not "vxb" calls it off; a source that
    // is not a voice file this program reads is refused with the reader's message.
    Outcome importVoice(const std::string& source, std::string& identifier, const TickSource& tick = systemTickCount);
    // Removes the voice file and has the bank (when given) forget the voice. Refuses the
    // built-in voices.
    bool deleteVoice(const std::string& identifier, VoiceBank* bank = nullptr);

    // File copy: "ｺﾋﾟｰ元ﾌｧｲﾙ(%s)\nが見つかりません。" when the source cannot be read;
    // with askOverwrite, "ｺﾋﾟｰ先ﾌｧｲﾙ(%s)\nが既に存在します。上書きしますか？" for an
    // existing target (No: Cancelled). The target is replaced only once it is complete.
    Outcome copyFile(const std::string& source, const std::string& target, bool askOverwrite);

private:
    bool failWith(const char* format, const std::string& arg);
    bool readSource(const std::string& source, std::vector<uint8_t>& bytes);

    std::string folder_;
    UserPrompt* prompt_;
};

// --- Choosing a voice by its name ----------------------------------------------------------

namespace librarytext {
inline constexpr const char* kNameShared = KANTOR_TEXT("「%s」という名前の音源が複数あります。識別子で選んでください: %s");
inline constexpr const char* kNameUnknown = KANTOR_TEXT("「%s」という名前または識別子の音源はありません。音源: %s");
}  // namespace librarytext

// A voice as the lists offer it: its identifier (what songs store) and the label shown, the
// voice's name, with the identifier in brackets where two voices share the name, and the
// identifier alone where the name is blank.
struct VoiceChoice {
    std::string identifier;
    std::string label;
};
// The voices of the bank's last enumeration of the voice folder, in its order.
std::vector<VoiceChoice> voiceChoices(const VoiceBank& bank);
// The label of one identifier among `choices`; the identifier itself when it is not listed.
std::string voiceLabel(const std::vector<VoiceChoice>& choices, const std::string& identifier);
// The voice a user named: an identifier of the list as it is, else the one voice of that
// name (trailing blanks aside; exact case first, then any case). False when no voice or
// several have it, with an error listing the voices that match (or every voice when none
// is near), as "name (identifier)".
bool findVoiceByName(const VoiceBank& bank, const std::string& typed, std::string& identifier, std::string& error);

}  // namespace kantor
