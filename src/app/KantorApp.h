#pragma once
// The desktop program: the application owner with its Qt services, the small hub window,
// the main panel a moment later, and the windows the panel opens. Device notifications
// reach the GUI thread as queued calls: the owner's queue asks for a pump, which runs here.
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <memory>
#include <string>

#include "app/AppContext.h"
#include "app/FileChooser.h"
#include "app/HubWindow.h"
#include "app/MainPanel.h"
#include "app/QtPrompt.h"

namespace kantor::app {

class ChannelScoreWindow;
class NoteVoiceWindow;

struct AppOptions {
    HubOptions hub;
    std::string startFile;  // the file named on the command line
    // A first start (no settings file yet) without a start file opens the demo song. The
    // program asks for it; tests that want an empty panel leave it off.
    bool firstStartOpensDemo = false;
    int panelDelayMs = 1500;
    // Tests and screenshots bring their own prompt and file dialogs (null: the real ones).
    UserPrompt* prompt = nullptr;
    FileChooser* files = nullptr;
    std::function<void(const QString&)> openUrl;
};

class KantorApp : public QObject {
    Q_OBJECT
public:
    explicit KantorApp(AppOptions options);
    ~KantorApp() override;

    // Start-up: the owner starts, the hub window shows, and after the delay the panel.
    void start();
    // Makes the panel at once (the timer does it otherwise) and opens the start file.
    MainPanel* showPanel();

    Hub& hub() { return *hub_; }
    AppContext& context() { return *ctx_; }
    MainPanel* panel() const { return panel_; }
    HubWindow* hubWindow() const { return hubWindow_.get(); }
    // Pumps the device notifications now (also scheduled by itself after every post).
    void pump();
    // The note voice window of channel c (0-15) on note `event` (made, or raised and moved
    // there); null when the channel has no such note. The score windows call it on a click
    // (or NoteVoiceWindow::open with their own context).
    // `beside`: the score asking, which keeps the keyboard and has the window beside it.
    NoteVoiceWindow* openNoteVoice(int channel, std::size_t event, const QWidget* beside = nullptr);
    // "ｿﾝｸﾞ・ﾃﾞﾌｫﾙﾄ設定" (from the channel list's context menu); true when the song changed.
    bool openSongSettings();

    // The open channel list's score window of channel c (0-15), or null.
    ChannelScoreWindow* scoreWindow(int channel) const;

signals:
    void panelShown();
    void finished();

private:
    void installWindows(MainPanel& p);
    // The score follows the note voice window: the note it shows, and the notes it changed
    // (-1: the whole channel).
    void noteVoiceSelected(int channel, int note);
    void noteVoiceChanged(int channel, int note);
    void shutDown();

    AppOptions options_;
    QtPrompt qtPrompt_;
    QtFileChooser qtFiles_;
    std::unique_ptr<Hub> hub_;
    std::unique_ptr<AppContext> ctx_;
    std::unique_ptr<HubWindow> hubWindow_;
    QPointer<MainPanel> panel_;
    std::atomic<bool> pumpScheduled_{false};
    bool shutDown_ = false;
};

}  // namespace kantor::app
