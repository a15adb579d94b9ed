#include "app/QtPrompt.h"

#include <QMessageBox>

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

bool isErrorCaption(const std::string& caption) {
    return caption == "Error" || caption == "ERROR" || caption == "error";
}
}  // namespace

void QtPrompt::notice(const std::string& caption, const std::string& text) {
    QMessageBox box(isErrorCaption(caption) ? QMessageBox::Critical : QMessageBox::Information, q(caption), q(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

void QtPrompt::warning(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, q(caption), q(text), QMessageBox::Ok, parent_);
    box.exec();
}

PromptAnswer QtPrompt::askYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptAnswer QtPrompt::askYesNoCancel(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, q(caption), q(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        default: return PromptAnswer::Cancel;
    }
}

}  // namespace kantor::app
