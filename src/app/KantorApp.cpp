#include "app/KantorApp.h"

#include <QDesktopServices>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/ChannelSettingsDialogs.h"
#include "app/EditCommands.h"
#include "app/EffectorWindow.h"
#include "app/LyricInputWindow.h"
#include "app/MuteSoloWindow.h"
#include "app/RomajiListWindow.h"
#include "app/WaveInsertWindow.h"
#include "app/MidiOutputDialog.h"
#include "app/NoteVoiceWindow.h"
#include "app/Resources.h"
#include "app/SyncCorrectionDialog.h"
#include "app/TitleInfoWindow.h"
#include "app/BankImportDialog.h"
#include "app/VoiceLibraryDialog.h"
#include "app/VoiceMakerWindow.h"
#include "app/WaveVolumeWindow.h"
#include "base/FileIO.h"
#include "settings/StartupTexts.h"
#include "song/TextField.h"

namespace kantor::app {

KantorApp::KantorApp(AppOptions options) : options_(std::move(options)) {
    initResources();
    UserPrompt& prompt = options_.prompt ? *options_.prompt : qtPrompt_;
    FileChooser& files = options_.files ? *options_.files : qtFiles_;
    hub_ = std::make_unique<Hub>(prompt, options_.hub);
    auto open = options_.openUrl ? options_.openUrl : [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
    ctx_ = std::make_unique<AppContext>(AppContext{*hub_, prompt, files, open});
    // Devices post from the audio thread; the pump runs on this object's (GUI) thread.
    hub_->setPostHook([this] {
        if (!pumpScheduled_.exchange(true)) QMetaObject::invokeMethod(this, [this] { pump(); }, Qt::QueuedConnection);
    });
}

KantorApp::~KantorApp() {
    delete panel_.data();
    shutDown();
}

void KantorApp::pump() {
    pumpScheduled_ = false;
    hub_->pump();
}

void KantorApp::start() {
    hub_->startUp();
    hubWindow_ = std::make_unique<HubWindow>();
    hubWindow_->show();
    QTimer::singleShot(options_.panelDelayMs, this, [this] { showPanel(); });
}

MainPanel* KantorApp::showPanel() {
    if (panel_) return panel_;
    if (!hubWindow_) hub_->startUp();
    auto* p = new MainPanel(*ctx_);
    panel_ = p;
    p->setAttribute(Qt::WA_DeleteOnClose);
    qtPrompt_.setParent(p);
    installWindows(*p);
    connect(p, &MainPanel::closed, this, [this] {
        shutDown();
        emit finished();
    });
    p->show();
    p->raise();
    p->activateWindow();
    if (hubWindow_) hubWindow_->hide();
    if (!hub_->deviceNote().empty()) {
        // Said once, at the foot of the panel.
        p->statusBar()->showMessage(tr("ｻｳﾝﾄﾞﾃﾞﾊﾞｲｽがありません。音を出さずに実時間で再生します。"));
        p->statusBar()->setToolTip(QString::fromStdString(hub_->deviceNote()));
        p->setFixedSize(p->sizeHint());
    }
    if (!hub_->deviceError().empty()) ctx_->prompt.notice("Error", hub_->deviceError());
    emit panelShown();
    if (hub_->settingsMissing()) {
        ctx_->prompt.notice(text::kFirstRunCaption, text::kFirstRunNotice);
        p->openWindow(MainPanel::SyncCorrection);
    }
    if (options_.firstStartOpensDemo && hub_->settingsMissing() && options_.startFile.empty()) {
        // A first start opens the demo song, which new settings name as the first recent file.
        const std::string demo = hub_->settings().recentFile(0);
        if (!demo.empty() && fileExists(demo)) options_.startFile = demo;
    }
    if (!options_.startFile.empty()) {
        const std::string file = options_.startFile;
        options_.startFile.clear();
        p->openPath(file);
    }
    return p;
}

void KantorApp::installWindows(MainPanel& p) {
    p.setWindowFactory(MainPanel::TitleWindow, [this](MainPanel& panel) -> QWidget* {
        return new TitleInfoWindow(*ctx_, &panel);
    });
    p.setWindowFactory(MainPanel::WaveVolumeWindow, [this](MainPanel& panel) -> QWidget* {
        return new WaveVolumeWindow(*ctx_, &panel);
    });
    p.setWindowFactory(MainPanel::LyricWindow, [this](MainPanel& panel) -> QWidget* {
        return new LyricInputWindow(*ctx_, &panel);
    });
    p.setWindowFactory(MainPanel::MuteSolo, [this](MainPanel& panel) -> QWidget* {
        return new MuteSoloWindow(*ctx_, &panel);
    });
    p.setWindowFactory(MainPanel::WaveInsertWindow, [this](MainPanel& panel) -> QWidget* {
        return new WaveInsertWindow(*ctx_, &panel);
    });
    // Opened on the song's voice; the note voice window then shows the phrase's voice.
    p.setWindowFactory(MainPanel::RomajiListWindow, [this](MainPanel& panel) -> QWidget* {
        return RomajiListWindow::open(*ctx_, withoutTrailingBlanks(ctx_->hub.song().songDefaults().voiceName), &panel);
    });
    p.setWindowFactory(MainPanel::SyncCorrection, [this](MainPanel& panel) -> QWidget* {
        auto* d = new SyncCorrectionDialog(*ctx_, &panel);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->setModal(true);
        return d;
    });
    p.setWindowFactory(MainPanel::EffectSettings, [this](MainPanel& panel) -> QWidget* {
        auto* d = new EffectorWindow(*ctx_, &panel);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->setModal(true);
        return d;
    });
    p.setWindowFactory(MainPanel::ChannelList, [this](MainPanel& panel) -> QWidget* {
        // The note voice window and the editing dialogs plug in through the hooks.
        auto* w = new ChannelListWindow(*ctx_, &panel, &panel);
        ChannelWindowHooks& h = w->hooks();
        h.noteSelected = [this](int c, std::size_t event) {
            // Asked by the score: the window comes up beside it, and the score keeps the keys.
            const NoteVoiceWindow* nv = openNoteVoice(c, event, scoreWindow(c));
            return nv && nv->note() == event;
        };
        h.commands[ChannelListWindow::SongDefaults] = [this](int, long) { openSongSettings(); };
        h.commands[ChannelScoreWindow::ChannelDefaults] = [this, &panel](int c, long) {
            if (c >= 0) edit::channelSettings(*ctx_, c, &panel);
        };
        auto words = [this, &panel](int c, long) {
            // From the channel list: the first vocal channel.
            for (int k = 0; c < 0 && k < 16; ++k)
                if (hub_->song().isVoxChannel(k)) c = k;
            if (c >= 0) edit::phraseWordList(*ctx_, c, &panel);
        };
        h.commands[ChannelListWindow::PhraseWordList] = words;
        h.commands[ChannelScoreWindow::PhraseWordList] = words;
        h.commands[ChannelScoreWindow::PhraseBatch] = [this, &panel](int c, long) {
            if (c >= 0) edit::phraseBatch(*ctx_, c, &panel);
        };
        h.commands[ChannelScoreWindow::NoteBatch] = [this, &panel](int c, long) {
            if (c >= 0) edit::noteBatch(*ctx_, c, &panel);
        };
        return w;
    });
    // The two display settings dialogs: OK repaints the channel list and its scores.
    auto channelSettings = [](MainPanel& panel, QDialog* d) -> QWidget* {
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->setModal(true);
        QObject::connect(d, &QDialog::accepted, &panel, [&panel] {
            if (auto* w = qobject_cast<ChannelListWindow*>(panel.window(MainPanel::ChannelList))) w->applySettings();
        });
        return d;
    };
    p.setWindowFactory(MainPanel::ChListSettings, [this, channelSettings](MainPanel& panel) -> QWidget* {
        return channelSettings(panel, new ChListSettingsDialog(hub_->settings(), &panel));
    });
    p.setWindowFactory(MainPanel::ChScoreSettings, [this, channelSettings](MainPanel& panel) -> QWidget* {
        return channelSettings(panel, new ChScoreSettingsDialog(*hub_, &panel));
    });
    p.setWindowFactory(MainPanel::VoiceMaker, [this](MainPanel& panel) -> QWidget* {
        return new VoiceMakerWindow(*ctx_, &panel);
    });
    // The voice library commands run their own modal windows; nothing stays open.
    p.setWindowFactory(MainPanel::VoiceExport, [this](MainPanel& panel) -> QWidget* {
        exportVoiceCommand(*ctx_, &panel);
        return nullptr;
    });
    p.setWindowFactory(MainPanel::VoiceImport, [this](MainPanel& panel) -> QWidget* {
        importVoiceCommand(*ctx_, &panel);
        return nullptr;
    });
    p.setWindowFactory(MainPanel::VoiceImportBank, [this](MainPanel& panel) -> QWidget* {
        importBankCommand(*ctx_, &panel);
        return nullptr;
    });
    p.setWindowFactory(MainPanel::VoiceDelete, [this](MainPanel& panel) -> QWidget* {
        deleteVoiceCommand(*ctx_, &panel);
        return nullptr;
    });
    p.setWindowFactory(MainPanel::MidiOutput, [this](MainPanel& panel) -> QWidget* {
        auto* d = new MidiOutputDialog(*ctx_, &panel);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->setModal(true);
        return d;
    });
}

NoteVoiceWindow* KantorApp::openNoteVoice(int channel, std::size_t event, const QWidget* beside) {
    NoteVoiceWindow* w = NoteVoiceWindow::open(*ctx_, channel, event, panel_, beside);
    if (w) {
        connect(w, &NoteVoiceWindow::noteSelected, this, &KantorApp::noteVoiceSelected, Qt::UniqueConnection);
        connect(w, &NoteVoiceWindow::noteChanged, this, &KantorApp::noteVoiceChanged, Qt::UniqueConnection);
    }
    return w;
}

ChannelScoreWindow* KantorApp::scoreWindow(int channel) const {
    auto* list = panel_ ? qobject_cast<ChannelListWindow*>(panel_->window(MainPanel::ChannelList)) : nullptr;
    return list ? list->scoreWindow(channel) : nullptr;
}

void KantorApp::noteVoiceSelected(int channel, int note) {
    if (ChannelScoreWindow* s = scoreWindow(channel)) s->showNote(note);
}

void KantorApp::noteVoiceChanged(int channel, int) {
    if (ChannelScoreWindow* s = scoreWindow(channel)) s->refresh();
}

bool KantorApp::openSongSettings() { return edit::songSettings(*ctx_, panel_); }

void KantorApp::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    hub_->shutDown();
}

}  // namespace kantor::app
