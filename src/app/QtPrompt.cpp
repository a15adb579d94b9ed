#include "app/QtPrompt.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "base/Translation.h"
#include "plugins/PluginTexts.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
// Captions and texts come from the core in Japanese; they are shown in the chosen language.
QString shown(const std::string& s) { return QString::fromStdString(translated(s)); }
QString shownCaption(const std::string& s) { return QString::fromStdString(translatedCaption(s)); }
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
    QMessageBox box(noticeIcon(caption), shownCaption(caption), shown(text), QMessageBox::Ok, parent_);
    fitText(box, translated(text));
    box.exec();
}

void QtPrompt::warning(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, shownCaption(caption), shown(text), QMessageBox::Ok, parent_);
    fitText(box, translated(text));
    box.exec();
}

PromptAnswer QtPrompt::askYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, shownCaption(caption), shown(text), QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptAnswer QtPrompt::askOkCancel(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, shownCaption(caption), shown(text), QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("kantor::app::QtPrompt", "ｷｬﾝｾﾙ"));
    box.setDefaultButton(QMessageBox::Ok);
    fitText(box, translated(text));
    return box.exec() == QMessageBox::Ok ? PromptAnswer::Yes : PromptAnswer::Cancel;
}

PromptAnswer QtPrompt::askYesNoCancel(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, shownCaption(caption), shown(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        default: return PromptAnswer::Cancel;
    }
}

}  // namespace kantor::app
