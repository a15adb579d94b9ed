#pragma once
// The main panel: the window the user works from. Transport buttons, the song position and
// the start and stop positions with their spins, the song title and the current lyric line,
// the buttons that open the other windows, the render progress bar and the menu. It holds no
// song data: every command goes to the application owner or to the window it opens.
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <array>
#include <functional>
#include <map>

#include "app/AppContext.h"
#include "app/UpDownSpin.h"
#include "hub/Hub.h"
#include "hub/PanelCounters.h"

namespace kantor::app {

class SoundQualityDialog;

class MainPanel : public QMainWindow, public HubListener {
    Q_OBJECT
public:
    // Command numbers of the menu and the panel's controls.
    enum Command {
        NewSong = 16,
        OpenSong = 32780,
        Save = 32792,
        SaveAs = 32793,
        Exit = 32776,
        ChannelList = 32784,
        TitleWindow = 32783,
        MuteSolo = 32787,
        WaveVolumeWindow = 32788,
        LyricWindow = 32791,
        SyncCorrection = 32813,
        ChListSettings = 32785,
        ChScoreSettings = 32786,
        SoundQuality = 32800,
        EffectSettings = 32806,
        VoiceMaker = 32829,
        VoiceExport = 32830,
        VoiceImport = 32831,
        VoiceDelete = 32832,
        WebProduct = 32833,
        WebHelp = 32834,
        ReadMe = 32838,
        WebMaker = 32836,
        Version = 32835,
        WaveInsertWindow = 32803,  // the channel list's "Waveﾌｧｲﾙの挿入(&W)"
        RomajiListWindow = 40002,  // from the note voice window, for the phrase's voice
        MidiOutput = 40001,  // this program's own: where the MIDI goes
        VoiceImportBank = 40010,  // this program's own: a voice bank folder in the oto.ini form
        ImportScore = 40003,       // this program's own: a MusicXML score made into a song
        ExportLyricsMidi = 40004,  // this program's own: the MIDI file with the song's lyrics
        NewEmptySong = 40020,      // this program's own: a melody written from nothing
    };
    enum Control {
        PlayTop = 1006,
        Stop = 1007,
        PlayLast = 1008,
        PlayBetween = 1009,
        Pause = 1010,
        Loop = 1016,
        SetStart = 1011,
        SetStop = 1012,
        TitleButton = 1027,
        MuteButton = 1028,
        VolumeButton = 1005,
        LyricButton = 1015,
        WaveButton = 1017,
    };

    explicit MainPanel(AppContext& ctx, QWidget* parent = nullptr);
    ~MainPanel() override;

    // Windows of the program that the panel opens: made on demand by a factory, raised
    // when they exist.
    using WindowFactory = std::function<QWidget*(MainPanel&)>;
    void setWindowFactory(Command c, WindowFactory f);
    // Opens or activates a window; null when it cannot be made.
    QWidget* openWindow(Command c);
    QWidget* window(Command c) const;
    bool hasWindowFactory(Command c) const { return factories_.count(c) != 0; }

    // Runs a command as the menu or a button would (tests and key presses use it too).
    bool run(int command);
    QAction* action(int command) const;
    QAbstractButton* button(int control) const;

    // The save question before a command that replaces or closes the song: false = cancel.
    bool savePrompt();
    // Save under a new name, until a file in the MIDI file's folder is chosen or the dialog
    // is cancelled.
    bool saveAsDialog();
    bool openPath(const std::string& path);
    // Files dropped on the panel: the first song or MIDI file among them opens (after the
    // save question). False when none of them is one.
    bool openDropped(const QList<QUrl>& urls);

    // What the panel shows (tests read them).
    QString positionText() const { return position_->text(); }
    QString beatText() const { return beat_->text(); }
    QString startText() const { return start_->text(); }
    QString stopText() const { return stop_->text(); }
    QString lyricText() const { return lyric_->text(); }
    QString titleText() const { return title_->text(); }
    UpDownSpin* positionSpin() const { return posSpin_; }
    UpDownSpin* startSpin() const { return startSpin_; }
    UpDownSpin* stopSpin() const { return stopSpin_; }
    QProgressBar* progressBar() const { return progress_; }
    QMenu* recentMenu() const { return recent_; }
    QMenu* settingsMenu() const { return settingsMenu_; }
    const PanelSteps& steps() const { return steps_; }

    // The choices of the sound quality dialog after its OK: the quality code goes into the
    // settings, the pitch mode to the hub (which keeps it in render.conf when it changed).
    void applySoundQuality(const SoundQualityDialog& dialog);

    // Title, counters, spins and lyric line for the song as it is now.
    void refresh();
    void updateEnabling();
    void rebuildRecent();

signals:
    // The panel closed (after the save question): the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // HubListener (on the GUI thread).
    void songChanged() override;
    void modifiedChanged() override;
    void renderProgress(int done, int total) override;
    void playStateChanged() override;
    // The status line says once a play that a phrase's vocal came too late and was left out.
    void vocalLate() override;
    void lyricsChanged() override;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override;
    void betweenChanged(uint32_t start, uint32_t stop) override;

    void buildMenu();
    QWidget* buildControls();
    QAction* addCommand(QMenu* menu, int command, const QString& text, const QKeySequence& key = {});
    void showPosition(uint32_t tick);
    void showRange();
    void setStart();
    void setStop();
    void play(int control);
    void newSong();
    void songOpened();
    void openSong();
    void save();
    void openRecent(int index);
    void writeWav();
    // A MusicXML score (`score`, or one chosen in a dialog) made into a song beside it.
    void importScore(std::string score = {});
    void exportLyricsMidi();
    void newEmptySong();
    void soundQuality();
    // The window title: the song's title or file name, "*" when modified.
    void showTitle();
    void showVersion();
    void openHelp(int command);

    AppContext& ctx_;
    Hub& hub_;
    QLabel* title_;
    QLabel* lyric_;
    QLabel* position_;
    QLabel* beat_;
    QLabel* start_;
    QLabel* stop_;
    UpDownSpin* posSpin_;
    UpDownSpin* startSpin_;
    UpDownSpin* stopSpin_;
    QProgressBar* progress_;
    QMenu* recent_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, QAbstractButton*> buttons_;
    std::map<int, WindowFactory> factories_;
    std::map<int, QPointer<QWidget>> windows_;
    PanelSteps steps_;
    LyricDisplay lyrics_;
    uint32_t current_ = 0;
    bool closing_ = false;
};

}  // namespace kantor::app
