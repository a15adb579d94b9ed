#pragma once
// "ﾀｲﾄﾙ情報": the song's title information, its file and its MIDI file, with the button that
// opens "ﾀｲﾄﾙ情報入力＆変更" to edit the twelve texts.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "app/AppContext.h"

namespace kantor::app {

class TitleInfoWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    explicit TitleInfoWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~TitleInfoWindow() override;
    void refresh();
    // Opens the input dialog; true when its OK stored new texts.
    bool editTitle();
    QString shownText() const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void songChanged() override { refresh(); }
    AppContext& ctx_;
    QLabel* title_;
    std::array<QLabel*, 3> labels_{};
    std::array<QLabel*, 3> values_{};
    std::array<QLabel*, 3> extra_{};
    QLabel* commentLabel_;
    QLabel* comment_;
    QLabel* songPath_;
    QLabel* midiPath_;
};

// "ﾀｲﾄﾙ情報入力＆変更": the twelve texts, each held to its limit in cp932 bytes (a character
// cp932 lacks cannot be typed, since the song file could not keep it).
class TitleInputDialog : public QDialog {
    Q_OBJECT
public:
    TitleInputDialog(const TitleInfo& info, QWidget* parent = nullptr);
    TitleInfo result() const;
    QLineEdit* field(const char* name) const;

private:
    TitleInfo info_;
    std::array<QLineEdit*, 12> edits_{};
};

}  // namespace kantor::app
