#pragma once
// A prompt that records what the song operations show, and answers questions as told.
#include <string>
#include <vector>

#include "platform/UserPrompt.h"

namespace kantor::test {

class RecordingPrompt : public UserPrompt {
public:
    struct Shown {
        std::string kind, caption, text;
    };
    std::vector<Shown> shown;
    PromptAnswer answer = PromptAnswer::Yes;

    void notice(const std::string& caption, const std::string& text) override {
        shown.push_back({"notice", caption, text});
    }
    void warning(const std::string& caption, const std::string& text) override {
        shown.push_back({"warning", caption, text});
    }
    PromptAnswer askYesNo(const std::string& caption, const std::string& text) override {
        shown.push_back({"yesno", caption, text});
        return answer;
    }
    PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) override {
        shown.push_back({"yesnocancel", caption, text});
        return answer;
    }
    PromptAnswer askOkCancel(const std::string& caption, const std::string& text) override {
        shown.push_back({"okcancel", caption, text});
        return answer == PromptAnswer::Yes ? PromptAnswer::Yes : PromptAnswer::Cancel;
    }
};

}  // namespace kantor::test
