#pragma once
// Message boxes of the core's operations, shown as Qt dialogs over a parent window.
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "platform/UserPrompt.h"

namespace kantor::app {

// Widens a message box to its longest line (up to a limit), so that its text keeps the
// line breaks it was written with.
void fitText(QMessageBox& box, const std::string& text);

// The icon of a notice box by its caption: the stop (critical) icon for the error boxes
// ("Error", "ERROR", "error" and the effect libraries' "外部ｴﾌｪｸﾀ・ｴﾗｰ"), else information.
QMessageBox::Icon noticeIcon(const std::string& caption);

class QtPrompt : public UserPrompt {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    // With noticeIcon's icon.
    void notice(const std::string& caption, const std::string& text) override;
    void warning(const std::string& caption, const std::string& text) override;
    PromptAnswer askYesNo(const std::string& caption, const std::string& text) override;
    // With the warning icon, as the save question has it.
    PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) override;
    // [OK] and [ｷｬﾝｾﾙ], as the question's text names them.
    PromptAnswer askOkCancel(const std::string& caption, const std::string& text) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace kantor::app
