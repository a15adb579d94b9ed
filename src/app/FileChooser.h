#pragma once
// The open and save file dialogs, behind a small interface so that tests script the
// user's choice.
#include <QString>
#include <QWidget>
#include <deque>
#include <string>

namespace kantor::app {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen existing file, or "" when cancelled.
    virtual std::string openFile(QWidget* parent, const QString& filter, const std::string& startFolder) = 0;
    // The chosen file to write (the dialog asks before overwriting), or "" when cancelled.
    // `suffix` is added when the name has no extension.
    virtual std::string saveFile(QWidget* parent, const QString& filter, const std::string& proposed,
                                 const QString& suffix) = 0;
};

class QtFileChooser : public FileChooser {
public:
    std::string openFile(QWidget* parent, const QString& filter, const std::string& startFolder) override;
    std::string saveFile(QWidget* parent, const QString& filter, const std::string& proposed,
                         const QString& suffix) override;
};

// Answers from a list, in order; "" (cancel) when the list is used up.
class ScriptedFileChooser : public FileChooser {
public:
    std::deque<std::string> answers;
    int asked = 0;
    std::string openFile(QWidget*, const QString&, const std::string&) override { return next(); }
    std::string saveFile(QWidget*, const QString&, const std::string&, const QString&) override { return next(); }

private:
    std::string next() {
        ++asked;
        if (answers.empty()) return {};
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace kantor::app
