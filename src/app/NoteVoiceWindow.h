#pragma once
// "VoiceNote": the syllables of one note of a Vox channel — four codes with their kana,
// length ratios and volumes, the note volume, the phrase head box and the group — with the
// steps to the previous and next note (F4, F5), one-click note lengths, listening, the
// phrase's WAV file and the note's and phrase's editing dialogs. One window per channel;
// every action that leaves the note first commits the window's values into it.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <array>
#include <optional>

#include "app/AppContext.h"
#include "app/TextSpin.h"
#include "song/NoteVoiceEdit.h"
#include "voice/VoiceLibrary.h"

namespace kantor::app {

class NoteVoiceWindow : public QWidget, public HubListener {
    Q_OBJECT
public:
    // The window of channel c (0-15) showing note n: made, or raised and asked to select n.
    // Null when the channel has no such note.
    // `beside`: the score window it was asked from, which keeps the keyboard (the window shows
    // without activation) and which a new window is placed beside. Null: the window comes up
    // active, where it was last or centred.
    static NoteVoiceWindow* open(AppContext& ctx, int channel, std::size_t note, QWidget* parent = nullptr,
                                 const QWidget* beside = nullptr);
    // The open window of a channel, or null.
    static NoteVoiceWindow* of(int channel);

    NoteVoiceWindow(AppContext& ctx, int channel, std::size_t note, QWidget* parent = nullptr,
                    const QWidget* beside = nullptr);
    ~NoteVoiceWindow() override;

    int channel() const { return c_; }
    std::size_t note() const { return n_; }
    // Picks another note (the score window's click): refused while a dialog of this window
    // is up or when the commit fails.
    bool selectNote(std::size_t n);
    // Writes the window's values into the note; false (the window stays) when a code is not
    // one of the phrase voice's.
    bool commit();
    bool previous();  // F4
    bool next();      // F5
    bool setOneClickLength(int button);
    bool editOneClickLengths();
    void listenNote();
    void listenMidi();
    void listenPhrase();
    void stopListening();
    bool writePhraseWav();
    void openLengthPosition();
    void openPhraseSettings();
    void openQuickInput();
    void openRomajiList();
    void undo();
    void redo();

    // The controls (tests script them).
    QLineEdit* codeEdit(int k) const { return codes_[static_cast<std::size_t>(k)]; }
    QLabel* kanaLabel(int k) const { return kana_[static_cast<std::size_t>(k)]; }
    QLineEdit* lengthEdit(int k) const { return lengths_[static_cast<std::size_t>(k)]; }
    TextSpin* volumeSpin(int k) const { return volumes_[static_cast<std::size_t>(k)]; }
    TextSpin* noteVolumeSpin() const { return noteVolume_; }
    QCheckBox* headBox() const { return head_; }
    QRadioButton* groupButton(int g) const { return groups_[static_cast<std::size_t>(g)]; }
    QPushButton* oneClickButton(int i) const { return oneClick_[static_cast<std::size_t>(i)]; }
    QGroupBox* lengthGroup() const { return lengthGroup_; }
    QLabel* noteNameLabel() const { return noteName_; }
    QLabel* voiceNameLabel() const { return voiceName_; }
    QPushButton* button(const QString& text) const;
    bool modalChild() const { return modalChild_; }

signals:
    // The score window follows these: the note shown, a note to redraw (its syllables, phrase
    // head or length changed), and the window going.
    void noteSelected(int channel, int note);
    void noteChanged(int channel, int note);
    void closing(int channel);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void songChanged() override;
    void songEdited(int channel) override;
    void build();
    void load();
    void showForm();
    NoteVoiceForm readForm() const;
    bool validateShown(int k);
    void relabelOneClick();
    void enablePhraseButtons();
    bool leaveNote();
    void moveTo(std::size_t n);
    template <typename F>
    void modal(F f);

    AppContext& ctx_;
    const Song* song_;
    int c_;
    std::size_t n_;
    NoteVoiceForm form_;
    std::array<uint16_t, 5> presets_{};
    std::array<QLineEdit*, 4> codes_{};
    std::array<QLabel*, 4> kana_{};
    std::array<QLineEdit*, 4> lengths_{};
    std::array<TextSpin*, 4> volumes_{};
    TextSpin* noteVolume_;
    QLabel* noteName_;
    QLabel* voiceName_ = nullptr;
    std::vector<VoiceChoice> voices_;  // the voice folder's voices, named as the lists name them
    QCheckBox* head_;
    std::array<QRadioButton*, 6> groups_{};
    QGroupBox* lengthGroup_;
    std::array<QPushButton*, 5> oneClick_{};
    std::vector<QPushButton*> phraseButtons_;
    std::vector<QWidget*> editing_;
    bool modalChild_ = false;
    bool validating_ = false;
    bool ownEdit_ = false;
    // Where the window was put beside the score: it stores its place only once the user moved it.
    std::optional<QPoint> autoPlace_;
};

// "ﾜﾝｸﾘｯｸ・ﾉｰﾄ長の設定": the five one-click lengths, 0..10000 ticks each.
class OneClickLengthDialog : public QDialog {
    Q_OBJECT
public:
    OneClickLengthDialog(const std::array<uint16_t, 5>& values, QWidget* parent = nullptr);
    std::array<uint16_t, 5> values() const;
    QSpinBox* spin(int i) const { return spins_[static_cast<std::size_t>(i)]; }

private:
    std::array<QSpinBox*, 5> spins_{};
};

}  // namespace kantor::app
