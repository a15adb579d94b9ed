#pragma once
// The command line's prompt: messages go to standard error, questions get a fixed answer.
#include <iosfwd>

#include "platform/UserPrompt.h"

namespace kantor {

class StderrPrompt : public UserPrompt {
public:
    explicit StderrPrompt(PromptAnswer answer = PromptAnswer::Yes);
    void notice(const std::string& caption, const std::string& text) override;
    void warning(const std::string& caption, const std::string& text) override;
    PromptAnswer askYesNo(const std::string& caption, const std::string& text) override;
    PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) override;

private:
    PromptAnswer answer_;
};

}  // namespace kantor
