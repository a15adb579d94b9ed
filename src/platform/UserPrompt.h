#pragma once
// Message boxes shown in the middle of core operations. The desktop program answers
// them with real dialogs; the command line and the tests answer them from flags or scripts.
#include <string>

namespace kantor {

enum class PromptAnswer { Yes, No, Cancel };

class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // An information or error box with an OK button.
    virtual void notice(const std::string& caption, const std::string& text) = 0;
    virtual void warning(const std::string& caption, const std::string& text) = 0;
    virtual PromptAnswer askYesNo(const std::string& caption, const std::string& text) = 0;
    virtual PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) = 0;
    // A question whose text names the buttons [OK] and [ｷｬﾝｾﾙ]: Yes for OK, Cancel for
    // ｷｬﾝｾﾙ. Answered as the yes/no question where there are no such buttons.
    virtual PromptAnswer askOkCancel(const std::string& caption, const std::string& text) {
        return askYesNo(caption, text) == PromptAnswer::Yes ? PromptAnswer::Yes : PromptAnswer::Cancel;
    }
};

}  // namespace kantor
