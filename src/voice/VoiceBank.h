#pragma once
// The voice bank: the voices loaded from the voice folder, the list of voice files
// found there, and the lookups that lyric entry and synthesis need. Every failing
// operation leaves one message in lastError().
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "voice/Voice.h"
#include "voice/VoiceFile.h"

namespace kantor {

// One file found in the voice folder.
struct VoiceFileEntry {
    std::string title;  // file name without folder and ".vxb"
    std::array<uint8_t, kVoiceHeaderSize> header{};  // the file's first 536 bytes
    uint64_t fileLength = 0;
};

// Result of a code lookup: the code as the voice stores it, and its kana.
struct SyllableMatch {
    std::string code;
    std::string kana;
};

class VoiceBank : public LastError {
public:
    explicit VoiceBank(std::string voiceFolder = {}) : folder_(std::move(voiceFolder)) {}

    const std::string& voiceFolder() const { return folder_; }
    void setVoiceFolder(std::string folder) { folder_ = std::move(folder); }
    // Read-only folders whose voices are listed and loaded beside the voice folder's: the
    // built-in voices of the install, shared by every user and never copied. A voice of the
    // voice folder wins over one of the same title here.
    void setSharedFolders(std::vector<std::string> folders) { shared_ = std::move(folders); }
    const std::vector<std::string>& sharedFolders() const { return shared_; }
    // The file of a voice: voice folder / title ".vxb", else the first shared folder that
    // has that file, else (no such file anywhere) voice folder / title ".vxb".
    std::string voiceFilePath(const std::string& title) const;

    // --- the voice files of the voice folder
    // Re-reads the list of "*.vxb" files (in name order). A file with a wrong magic or
    // version is skipped, its message left in lastError(), and the call still succeeds;
    // a file that cannot be opened or read stops the enumeration with failure.
    bool enumerateVoiceFiles();
    int voiceFileCount() const { return static_cast<int>(files_.size()); }
    // Entry i; an index outside the list yields empty strings.
    std::string voiceFileTitle(int i) const;
    std::string voiceFileVoiceName(int i) const;  // header field at 32
    std::string voiceFileComment(int i) const;    // header field at 96
    std::string voiceFileComment2(int i) const;   // header field at 160
    // "16bit, 44100Hz, Mono  FileSize: 1.50 KB".
    std::string voiceFileDescription(int i) const;
    const VoiceFileEntry* voiceFileEntry(int i) const;
    // Index of the file with this title (exact comparison), or -1.
    int findVoiceFile(const std::string& title) const;

    // --- loaded voices
    // Succeeds at once when a voice of that name is loaded (trailing blanks removed on
    // both sides); otherwise reads voice folder / title ".vxb" and appends the voice.
    bool ensureVoiceLoaded(const std::string& title);
    // Drops the loaded voice of that name and reads its file again; a voice that is not
    // loaded stays unloaded and the call succeeds.
    bool reloadVoice(const std::string& title);
    // Drops the loaded voice of that name, if any (after its file was deleted).
    void forgetVoice(const std::string& title);
    void unloadAllVoices() { voices_.clear(); }
    // The loaded voice of that name (trailing blanks removed), or nullptr.
    const Voice* findVoice(const std::string& name) const;
    const std::vector<std::unique_ptr<Voice>>& voices() const { return voices_; }
    // Appends an already read voice (the maker and tests); replaces one of the same name.
    void addVoice(std::unique_ptr<Voice> voice);

    // --- lookups
    // Sample `index` of a loaded voice: kana, code and whether it is usable (a code and
    // data). False when the voice is not loaded or the index is outside its samples.
    bool sampleByIndex(const std::string& voiceName, int index, std::string& kana, std::string& code,
                       bool& usable) const;
    // Code to kana through a voice: an empty code is found as empty; otherwise the first
    // sample in file order whose code equals `typed` ignoring ASCII case and that has
    // data. False when not found (or the voice is not loaded).
    bool findSyllableByCode(const std::string& voiceName, const std::string& typed,
                            SyllableMatch& match) const;
    // The sample synthesis uses for a note: among samples whose code equals `code`
    // ignoring case, the one nearest in pitch (first in file order on a tie; distances of
    // 1000 or more never chosen). nullptr when none.
    const VoiceSample* findSampleForNote(const Voice& voice, const std::string& code, uint32_t pitch) const;

    // Validates the header of voice folder / title ".vxb" without loading it. Returns the
    // title when valid, and also when the file cannot be opened or read (lastError() then
    // holds the read message); "\x01" when the magic or the version is wrong.
    std::string checkVoiceFile(const std::string& title);

private:
    std::unique_ptr<Voice> readVoice(const std::string& title);
    std::vector<std::unique_ptr<Voice>>::iterator findLoaded(const std::string& name);

    std::string folder_;
    std::vector<std::string> shared_;
    std::vector<std::unique_ptr<Voice>> voices_;
    std::vector<std::unique_ptr<VoiceFileEntry>> files_;
};

// ASCII case-insensitive equality of two codes.
bool codesEqual(const std::string& a, const std::string& b);

}  // namespace kantor
