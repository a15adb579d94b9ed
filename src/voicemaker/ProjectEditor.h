#pragma once
// The item list operations of the voice data maker's editor: adding an item for a pitch
// and a syllable (with its checks and the duplicate question), inserting a blank line,
// deleting, moving lines up and down, and changing an item's code and notation. Every
// change marks the project's items edited. Messages go to the prompt titled "ERROR".
#include <optional>
#include <string>
#include <vector>

#include "voicemaker/VoiceProject.h"

namespace kantor {

class UserPrompt;

// A code and notation pair, as chosen from the code-notation list or typed in.
struct SyllablePair {
    std::string code;
    std::string notation;
};

class ProjectEditor {
public:
    ProjectEditor(VoiceProject& project, UserPrompt& prompt) : project_(project), prompt_(prompt) {}

    // Adds an item at the end of the list: `pitch` is -1 when no pitch is selected, `pair`
    // empty when no code-notation pair is selected. Refused with "音程が選択されていません。",
    // "ｺｰﾄﾞ（ﾛｰﾏ字） - 表記（ひらがな）が選択されていません。", "ｺｰﾄﾞ（ﾛｰﾏ字）が空白です。" or
    // "表記（ひらがな）が空白です。". When an item of the same pitch and code exists, its
    // index goes to `sameLine` (the window selects and shows it) and the user is asked
    // whether to go on. Returns the new item's index, or -1.
    int addItem(int pitch, const std::optional<SyllablePair>& pair, int* sameLine = nullptr);
    // Inserts a blank line before `line` (at the end when `line` is outside the list).
    // Returns the blank line's index.
    int insertBlank(int line);
    // Deletes the given lines; returns how many went.
    int deleteLines(std::vector<int> lines);
    // Moves the selected lines one place up (down); a line already at the top (bottom), and
    // the selected lines stacked against it, stay. Returns the new indexes of the lines.
    std::vector<int> moveUp(std::vector<int> lines);
    std::vector<int> moveDown(std::vector<int> lines);
    // Gives an item a new code and notation (the same checks as adding). False when refused
    // or the line is blank or outside the list.
    bool changeCode(int line, const std::optional<SyllablePair>& pair);

    // The codes the editor accepts: at most 4 characters; the notation at most 10 bytes
    // as the file stores it (cp932). Longer input is cut.
    static std::string limitCode(const std::string& code);
    static std::string limitNotation(const std::string& notation);

private:
    bool checkPair(const std::optional<SyllablePair>& pair);
    void error(const char* text);

    VoiceProject& project_;
    UserPrompt& prompt_;
};

}  // namespace kantor
