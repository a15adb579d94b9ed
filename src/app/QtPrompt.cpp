#include "app/QtPrompt.h"

#include <QMessageBox>
#include <algorithm>

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void fitText(QMessageBox& box, const std::string& text) {
    int widest = 0;
    for (const QString& line : q(text).split('\n')) widest = std::max(widest, box.fontMetrics().horizontalAdvance(line));
    box.setStyleSheet(QString("QLabel#qt_msgbox_label { min-width: %1px; }").arg(std::min(widest + 8, 640)));
}

namespace {

bool isErrorCaption(const std::string& caption) {
    return caption == "Error" || caption == "ERROR" || caption == "error";
}
}  // namespace

void QtPrompt::notice(const std::string& caption, const std::string& text) {
    QMessageBox box(isErrorCaption(caption) ? QMessageBox::Critical : QMessageBox::Information, q(caption), q(text),
                    QMessageBox::Ok, parent_);
    fitText(box, text);
    box.exec();
}

void QtPrompt::warning(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, q(caption), q(text), QMessageBox::Ok, parent_);
    fitText(box, text);
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
