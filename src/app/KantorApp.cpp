#include "app/KantorApp.h"

#include <QDesktopServices>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/EffectorWindow.h"
#include "app/MidiOutputDialog.h"
#include "app/Resources.h"
#include "app/SyncCorrectionDialog.h"
#include "app/TitleInfoWindow.h"
#include "app/VoiceLibraryDialog.h"
#include "app/VoiceMakerWindow.h"
#include "app/WaveVolumeWindow.h"
#include "settings/StartupTexts.h"

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
        p->statusBar()->showMessage("ｻｳﾝﾄﾞﾃﾞﾊﾞｲｽがありません。音を出さずに実時間で再生します。");
        p->statusBar()->setToolTip(QString::fromStdString(hub_->deviceNote()));
        p->setFixedSize(p->sizeHint());
    }
    if (!hub_->deviceError().empty()) ctx_->prompt.notice("Error", hub_->deviceError());
    emit panelShown();
    if (hub_->settingsMissing()) {
        ctx_->prompt.notice(text::kFirstRunCaption, text::kFirstRunNotice);
        p->openWindow(MainPanel::SyncCorrection);
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

void KantorApp::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    hub_->shutDown();
}

}  // namespace kantor::app
