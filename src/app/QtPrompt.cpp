#include "app/QtPrompt.h"

#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "plugins/PluginTexts.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void fitText(QMessageBox& box, const std::string& text) {
    int widest = 0;
    for (const QString& line : q(text).split('\n')) widest = std::max(widest, box.fontMetrics().horizontalAdvance(line));
    box.setStyleSheet(QString("QLabel#qt_msgbox_label { min-width: %1px; }").arg(std::min(widest + 8, 640)));
}

QMessageBox::Icon noticeIcon(const std::string& caption) {
    const bool error = caption == "Error" || caption == "ERROR" || caption == "error" ||
                       caption == plugintext::kEffectErrorCaption;
    return error ? QMessageBox::Critical : QMessageBox::Information;
}

void QtPrompt::notice(const std::string& caption, const std::string& text) {
    QMessageBox box(noticeIcon(caption), q(caption), q(text), QMessageBox::Ok, parent_);
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

PromptAnswer QtPrompt::askOkCancel(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.button(QMessageBox::Cancel)->setText("ｷｬﾝｾﾙ");
    box.setDefaultButton(QMessageBox::Ok);
    fitText(box, text);
    return box.exec() == QMessageBox::Ok ? PromptAnswer::Yes : PromptAnswer::Cancel;
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
