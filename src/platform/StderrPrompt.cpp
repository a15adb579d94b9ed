#include "platform/StderrPrompt.h"

#include <iostream>

#include "base/Translation.h"

namespace kantor {

StderrPrompt::StderrPrompt(PromptAnswer answer) : answer_(answer) {}

void StderrPrompt::notice(const std::string& caption, const std::string& text) {
    std::cerr << "[" << translatedCaption(caption) << "] " << translated(text) << "\n";
}

void StderrPrompt::warning(const std::string& caption, const std::string& text) {
    std::cerr << "[" << translatedCaption(caption) << "] " << translated(text) << "\n";
}

PromptAnswer StderrPrompt::askYesNo(const std::string& caption, const std::string& text) {
    std::cerr << "[" << translatedCaption(caption) << "] " << translated(text) << " -> "
              << (answer_ == PromptAnswer::Yes ? "yes" : "no") << "\n";
    return answer_ == PromptAnswer::Cancel ? PromptAnswer::No : answer_;
}

PromptAnswer StderrPrompt::askYesNoCancel(const std::string& caption, const std::string& text) {
    std::cerr << "[" << translatedCaption(caption) << "] " << translated(text) << "\n";
    return answer_;
}

}  // namespace kantor
