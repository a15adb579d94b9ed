#pragma once
// The program in scratch folders (a temporary data, configuration and documents folder),
// its message boxes written to standard error and its questions answered without asking:
// for the screenshot command and the benchmarks, which never touch the user's own settings.
#include <QTemporaryDir>
#include <memory>

#include "app/FileChooser.h"
#include "app/KantorApp.h"

namespace kantor::app {

class ScratchApp {
public:
    explicit ScratchApp(HubOptions::Audio audio);
    KantorApp& app() { return *app_; }
    Hub& hub() { return app_->hub(); }

private:
    class StderrBoxes : public UserPrompt {
    public:
        void notice(const std::string& caption, const std::string& text) override;
        void warning(const std::string& caption, const std::string& text) override { notice(caption, text); }
        PromptAnswer askYesNo(const std::string&, const std::string&) override { return PromptAnswer::Yes; }
        PromptAnswer askYesNoCancel(const std::string&, const std::string&) override { return PromptAnswer::No; }
    };
    QTemporaryDir dir_;
    StderrBoxes prompt_;
    ScriptedFileChooser files_;
    std::unique_ptr<KantorApp> app_;
};

// The offscreen platform unless the caller chose another (before the QApplication exists).
void useOffscreenUnlessChosen();

}  // namespace kantor::app
