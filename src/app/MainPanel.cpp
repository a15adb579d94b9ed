#include "app/MainPanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>
#include <QVBoxLayout>

#include "KantorVersion.h"
#include "app/ChannelListWindow.h"
#include "app/ChannelScoreWindow.h"
#include "app/ChannelViews.h"
#include "app/score/EmptySongDialog.h"
#include "app/HelpPages.h"
#include "app/LanguageMenu.h"
#include "app/ScorePartDialog.h"
#include "app/SoundQualityDialog.h"
#include "app/WindowPlacement.h"
#include "base/FileIO.h"
#include "base/Translation.h"
#include "hub/SongImport.h"
#include "settings/StartupTexts.h"
#include "sound/SoundFormat.h"

namespace kantor::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// A text of the core, in the chosen language.
QString shown(std::string_view text) { return q(translated(text)); }
std::string s(const QString& text) { return text.toStdString(); }

constexpr const char* kScoreFilter =
    "MusicXML, UST, USTX (*.musicxml *.xml *.mxl *.ust *.ustx *.MUSICXML *.XML *.MXL *.UST *.USTX)";

bool hasExtension(const std::string& path, const char* ext) {
    return QFileInfo(q(path)).suffix().compare(QLatin1String(ext), Qt::CaseInsensitive) == 0;
}

// A MIDI file, or a karaoke file (a MIDI file with its lyrics in text events).
bool isMidiPath(const std::string& path) { return hasExtension(path, "mid") || hasExtension(path, "kar"); }

bool isScorePath(const std::string& path) {
    return hasExtension(path, "musicxml") || hasExtension(path, "mxl") || hasExtension(path, "xml") ||
           hasExtension(path, "ust") || hasExtension(path, "ustx");  // projects of other singing editors
}

}  // namespace

MainPanel::MainPanel(AppContext& ctx, QWidget* parent) : QMainWindow(parent), ctx_(ctx), hub_(ctx.hub) {
    setWindowTitle(shown(text::kAppTitle));
    setWindowIcon(QIcon(":/icons/kantor.svg"));
    setAcceptDrops(true);
    buildMenu();
    setCentralWidget(buildControls());
    hub_.addListener(this);
    rebuildRecent();
    updateEnabling();
    refresh();
    adjustSize();
    setFixedSize(sizeHint());
    restorePlacement(this, hub_.settings(), WindowKind::MainPanel, 0, false, DefaultPlace::MainPanel);
}

MainPanel::~MainPanel() { hub_.removeListener(this); }

QAction* MainPanel::addCommand(QMenu* menu, int command, const QString& text, const QKeySequence& key) {
    QAction* a = menu->addAction(text);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, [this, command] { run(command); });
    actions_[command] = a;
    return a;
}

void MainPanel::buildMenu() {
    QMenu* file = menuBar()->addMenu(tr("ﾌｧｲﾙ(&F)"));
    addCommand(file, NewSong, tr("新規作成（*.midを開く）"), QKeySequence("Ctrl+N"));
    addCommand(file, NewEmptySong, tr("新規作成 (空の曲)"));
    addCommand(file, OpenSong, tr("歌声ﾌｧｲﾙ（*.uta）を開く"), QKeySequence("Ctrl+U"));
    addCommand(file, ImportScore, tr("MusicXMLの読み込み（*.musicxml, *.mxl）..."));
    file->addSeparator();
    addCommand(file, Save, tr("上書き保存(&S)"), QKeySequence("Ctrl+S"));
    addCommand(file, SaveAs, tr("名前を付けて保存(&A)"));
    addCommand(file, ExportLyricsMidi, tr("歌詞付きMidiﾌｧｲﾙの書き出し..."));
    file->addSeparator();
    recent_ = file->addMenu(tr("最近使ったﾌｧｲﾙ(&F)"));
    file->addSeparator();
    addCommand(file, Exit, tr("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"));

    QMenu* win = menuBar()->addMenu(tr("ｳｨﾝﾄﾞｳ(&W)"));
    addCommand(win, ChannelList, tr("ﾁｬﾝﾈﾙﾘｽﾄｳｨﾝﾄﾞｳ(&L)"), QKeySequence("Ctrl+L"));
    addCommand(win, TitleWindow, tr("ﾀｲﾄﾙ情報ｳｨﾝﾄﾞｳ(&T)"), QKeySequence("Ctrl+T"));
    addCommand(win, MuteSolo, tr("ﾐｭｰﾄ&&ｿﾛ設定ｳｨﾝﾄﾞｳ(&M)"), QKeySequence("Ctrl+M"));
    addCommand(win, WaveVolumeWindow, tr("Wave Volumeｳｨﾝﾄﾞｳ(&V)"), QKeySequence("Ctrl+V"));
    addCommand(win, LyricWindow, tr("歌詞入力ｳｨﾝﾄﾞｳ(&R)"), QKeySequence("Ctrl+R"));

    settingsMenu_ = menuBar()->addMenu(tr("設定(&S)"));
    addCommand(settingsMenu_, SyncCorrection, tr("MidiとWaveの同期補正"));
    addCommand(settingsMenu_, MidiOutput, tr("Midi出力先の選択..."));
    // 日本語 or English, from the next start.
    new LanguageMenu(ctx_, settingsMenu_);
    settingsMenu_->addSeparator();
    addCommand(settingsMenu_, ChListSettings, tr("ChListｳｨﾝﾄﾞｳの設定(&L)"));
    addCommand(settingsMenu_, ChScoreSettings, tr("ChScoreｳｨﾝﾄﾞｳの設定(&S)"));
    addCommand(settingsMenu_, SoundQuality, tr("音質の設定(&H)"));
    addCommand(settingsMenu_, EffectSettings, tr("外部ｴﾌｪｸﾀの設定(&E)"));

    QMenu* voice = menuBar()->addMenu(tr("Voice(&V)"));
    addCommand(voice, VoiceMaker, tr("Voice Data の作成"));
    voice->addSeparator();
    addCommand(voice, VoiceExport, tr("ｴｸｽﾎﾟｰﾄ"));
    addCommand(voice, VoiceImport, tr("ｲﾝﾎﾟｰﾄ"));
    addCommand(voice, VoiceImportBank, tr("音源ﾌｫﾙﾀﾞのｲﾝﾎﾟｰﾄ (oto.ini)..."));
    addCommand(voice, VoiceDelete, tr("削除"));

    QMenu* help = menuBar()->addMenu(tr("ﾍﾙﾌﾟ(&H)"));
    addCommand(help, WebProduct, tr("My Kantorellion について (Web Site)"));
    addCommand(help, WebHelp, tr("ｵﾝﾗｲﾝ・ﾍﾙﾌﾟ"));
    addCommand(help, ReadMe, tr("ReadMe.html (ﾛｰｶﾙ)"));
    addCommand(help, WebMaker, "Ardlow Software Web Site");
    help->addSeparator();
    addCommand(help, Version, tr("ﾊﾞｰｼﾞｮﾝ情報 ..."));
}

QWidget* MainPanel::buildControls() {
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(8, 6, 8, 8);
    v->setSpacing(6);

    title_ = new QLabel(central);
    title_->setObjectName("title");
    QFont tf = title_->font();
    tf.setBold(true);
    title_->setFont(tf);
    title_->setMinimumWidth(300);
    v->addWidget(title_);

    // Transport buttons.
    auto* transport = new QHBoxLayout();
    transport->setSpacing(3);
    struct B {
        int id;
        const char* icon;
        const char* tip;
    };
    const B bs[] = {{PlayTop, "play-top", "Play From Top"},
                    {Stop, "stop", "Play Stop"},
                    {PlayLast, "play-last", "Play from Last Position"},
                    {PlayBetween, "play-between", "Play between Start Position And Stop position "},
                    {Pause, "pause", "Pause And Restart"},
                    {Loop, "loop", "Loop Play"},
                    {SetStart, "set-start", "Set Start Position"},
                    {SetStop, "set-stop", "Set Stop Position"}};
    for (const B& b : bs) {
        if (b.id == SetStart) transport->addSpacing(10);
        auto* t = new QToolButton(central);
        t->setIcon(QIcon(QString(":/icons/%1.svg").arg(b.icon)));
        t->setIconSize(QSize(22, 22));
        t->setToolTip(b.tip);
        t->setAutoRaise(false);
        t->setFixedSize(32, 30);
        const int id = b.id;
        connect(t, &QToolButton::clicked, this, [this, id] { run(id); });
        buttons_[id] = t;
        transport->addWidget(t);
    }
    transport->addStretch(1);
    v->addLayout(transport);

    // Counters: position, start and stop, each with its spin.
    QFont counterFont = QApplication::font();
    counterFont.setPointSize(12);
    counterFont.setStyleHint(QFont::TypeWriter);
    counterFont.setFamilies({QFontDatabase::systemFont(QFontDatabase::FixedFont).family(), counterFont.family()});
    auto counter = [&](const char* name) {
        auto* l = new QLabel("000 : 0 : 000", central);
        l->setObjectName(name);
        l->setFont(counterFont);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(QFontMetrics(counterFont).horizontalAdvance("000 : 0 : 000") + 16);
        return l;
    };
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    position_ = counter("position");
    beat_ = new QLabel(central);
    beat_->setObjectName("beat");
    beat_->setMinimumWidth(QFontMetrics(beat_->font()).horizontalAdvance("/00000"));
    start_ = counter("start");
    stop_ = counter("stop");
    posSpin_ = new UpDownSpin(central);
    startSpin_ = new UpDownSpin(central);
    stopSpin_ = new UpDownSpin(central);
    auto* posLabel = new QLabel("Position", central);
    auto* startLabel = new QLabel("Start", central);
    auto* stopLabel = new QLabel("Stop", central);
    grid->addWidget(posLabel, 0, 0);
    grid->addWidget(position_, 1, 0);
    grid->addWidget(posSpin_, 1, 1);
    grid->addWidget(beat_, 1, 2);
    grid->addWidget(startLabel, 0, 3);
    grid->addWidget(start_, 1, 3);
    grid->addWidget(startSpin_, 1, 4);
    grid->addWidget(stopLabel, 0, 5);
    grid->addWidget(stop_, 1, 5);
    grid->addWidget(stopSpin_, 1, 6);
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    connect(posSpin_, &UpDownSpin::moved, this, [this](int p) {
        const uint32_t tick = steps_.tickOfSpin(p);
        current_ = tick;
        hub_.setCurrentPosition(tick);
        showPosition(tick);
        lyrics_.setFor(tick);
        lyric_->setText(q(lyrics_.text()));
    });
    connect(startSpin_, &UpDownSpin::moved, this,
            [this](int p) { hub_.setRange(moveStartSpin(hub_.range(), p, steps_)); });
    connect(stopSpin_, &UpDownSpin::moved, this, [this](int p) { hub_.setRange(moveStopSpin(hub_.range(), p, steps_)); });

    // The lyric line in its frame.
    auto* frame = new QFrame(central);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* fl = new QHBoxLayout(frame);
    fl->setContentsMargins(4, 4, 4, 4);
    lyric_ = new QLabel(frame);
    lyric_->setObjectName("lyric");
    QFont lf = QApplication::font();
    lf.setPointSize(11);
    lyric_->setFont(lf);
    lyric_->setMinimumHeight(QFontMetrics(lf).height() + 4);
    fl->addWidget(lyric_);
    v->addWidget(frame);

    // The buttons that open windows, and the WAV export. The volume button takes Alt+O: Alt+V
    // belongs to the Voice menu.
    auto* row = new QHBoxLayout();
    row->setSpacing(4);
    const std::pair<int, const char*> ws[] = {
        {TitleButton, "&title"}, {MuteButton, "&mute"}, {VolumeButton, "v&olume"}, {LyricButton, "ly&ric"}};
    for (const auto& [id, label] : ws) {
        auto* b = new QPushButton(label, central);
        const int cid = id;
        connect(b, &QPushButton::clicked, this, [this, cid] { run(cid); });
        buttons_[id] = b;
        row->addWidget(b);
    }
    row->addStretch(1);
    auto* wave = new QPushButton("| wave |", central);
    connect(wave, &QPushButton::clicked, this, [this] { run(WaveButton); });
    buttons_[WaveButton] = wave;
    row->addWidget(wave);
    v->addLayout(row);

    progress_ = new QProgressBar(central);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(8);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    v->addWidget(progress_);
    return central;
}

void MainPanel::setWindowFactory(Command c, WindowFactory f) {
    factories_[c] = std::move(f);
    updateEnabling();
}

QWidget* MainPanel::window(Command c) const {
    auto it = windows_.find(c);
    return it == windows_.end() ? nullptr : it->second.data();
}

QWidget* MainPanel::openWindow(Command c) {
    if (QWidget* w = window(c)) {
        if (w->isMinimized()) w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
        return w;
    }
    auto f = factories_.find(c);
    if (f == factories_.end()) return nullptr;
    QWidget* w = f->second(*this);
    if (!w) return nullptr;
    windows_[c] = w;
    w->show();
    w->raise();
    return w;
}

QAction* MainPanel::action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QAbstractButton* MainPanel::button(int control) const {
    auto it = buttons_.find(control);
    return it == buttons_.end() ? nullptr : it->second;
}

bool MainPanel::run(int command) {
    switch (command) {
        case NewSong: newSong(); return true;
        case OpenSong: openSong(); return true;
        case Save: save(); return true;
        case SaveAs: if (hub_.hasMidi()) saveAsDialog(); return true;
        case ImportScore: importScore(); return true;
        case ExportLyricsMidi: exportLyricsMidi(); return true;
        case NewEmptySong: newEmptySong(); return true;
        case Exit: close(); return true;
        case 101: case 102: case 103: case 104: openRecent(command - 101); return true;
        case TitleWindow: case TitleButton:
            if (hub_.hasMidi()) openWindow(TitleWindow);
            return true;
        case WaveVolumeWindow: case VolumeButton:
            if (hub_.hasMidi()) openWindow(WaveVolumeWindow);
            return true;
        case MuteSolo: case MuteButton:
            if (hub_.hasMidi()) openWindow(MuteSolo);
            return true;
        case LyricWindow: case LyricButton:
            if (hub_.hasMidi()) openWindow(LyricWindow);
            return true;
        case ChannelList:
            if (hub_.hasMidi()) openWindow(ChannelList);
            return true;
        case WaveInsertWindow:
            if (hub_.hasMidi()) openWindow(WaveInsertWindow);
            return true;
        case SyncCorrection: case MidiOutput: case ChListSettings: case ChScoreSettings: case EffectSettings:
        case VoiceMaker: case VoiceExport: case VoiceImport: case VoiceDelete: case VoiceImportBank:
            openWindow(static_cast<Command>(command));
            return true;
        case SoundQuality: soundQuality(); return true;
        case WebProduct: case WebHelp: case ReadMe: case WebMaker: openHelp(command); return true;
        case Version: showVersion(); return true;
        case WaveButton: writeWav(); return true;
        case PlayTop: case PlayLast: case PlayBetween: case Loop: play(command); return true;
        case Pause: hub_.pauseOrRestart(); return true;
        case Stop: hub_.stop(); return true;
        case SetStart: setStart(); return true;
        case SetStop: setStop(); return true;
        default: return false;
    }
}

void MainPanel::updateEnabling() {
    const bool song = hub_.hasMidi();
    auto has = [this](int c) { return factories_.count(c) != 0; };
    for (int c : {Save, SaveAs, ExportLyricsMidi}) actions_[c]->setEnabled(song);
    for (auto [c, b] : {std::pair{ChannelList, -1}, {TitleWindow, int(TitleButton)}, {MuteSolo, int(MuteButton)},
                        {WaveVolumeWindow, int(VolumeButton)}, {LyricWindow, int(LyricButton)}}) {
        const bool on = song && has(c);
        actions_[c]->setEnabled(on);
        if (b >= 0) buttons_[b]->setEnabled(on && (c != WaveVolumeWindow || hub_.waveVolumeControls() > 0));
    }
    buttons_[WaveButton]->setEnabled(song);
    for (int c : {SyncCorrection, MidiOutput, ChListSettings, ChScoreSettings, EffectSettings, VoiceMaker, VoiceExport,
                  VoiceImport, VoiceDelete, VoiceImportBank})
        actions_[c]->setEnabled(has(c));
    const bool canPlay = song && hub_.canPlay();
    for (int b : {PlayTop, Stop, PlayLast, PlayBetween, Pause, Loop}) buttons_[b]->setEnabled(canPlay);
    for (int b : {SetStart, SetStop}) buttons_[b]->setEnabled(song);
    // The effector settings leave the menu when the enabling is recomputed, unless the
    // program has the effector window: the menu is the desktop's only way to register
    // plug-ins.
    if (!has(EffectSettings)) settingsMenu_->removeAction(actions_[EffectSettings]);
    else if (!settingsMenu_->actions().contains(actions_[EffectSettings])) settingsMenu_->addAction(actions_[EffectSettings]);
}

void MainPanel::rebuildRecent() {
    recent_->clear();
    for (int i = 0; i < 4; ++i) {
        const std::string path = hub_.settings().recentFile(i);
        QAction* a = recent_->addAction(QString("&%1 ").arg(i + 1) + q(path));
        const int command = 101 + i;
        connect(a, &QAction::triggered, this, [this, command] { run(command); });
        a->setEnabled(!path.empty());
        actions_[command] = a;
    }
}

void MainPanel::refresh() {
    const bool song = hub_.hasMidi();
    steps_ = hub_.steps();
    showTitle();
    title_->setText(song ? q(hub_.song().titleInfo().title.empty() ? fileNameOf(hub_.midiPath())
                                                                     : hub_.song().titleInfo().title)
                         : QString());
    posSpin_->setRange(steps_.spinRange());
    startSpin_->setRange(steps_.spinRange());
    stopSpin_->setRange(steps_.spinRange());
    current_ = song ? hub_.currentPosition() : 0;
    showPosition(current_);
    beat_->clear();
    showRange();
    lyrics_.clear();
    if (song) {
        lyrics_.setLines(hub_.song());
        lyrics_.setFor(current_);
    }
    lyric_->setText(q(lyrics_.text()));
}

void MainPanel::showPosition(uint32_t tick) {
    uint32_t beat = 0;
    position_->setText(q(hub_.positionText(tick, &beat)));
    if (hub_.hasMidi()) beat_->setText(QString("/%1").arg(beat));
    if (steps_.step != 0) posSpin_->setValue(steps_.spinPosition(tick));
}

void MainPanel::showRange() {
    if (!hub_.hasMidi()) {
        start_->setText("000 : 0 : 000");
        stop_->setText("000 : 0 : 000");
        return;
    }
    const PlayRange r = hub_.range();
    start_->setText(q(hub_.positionText(r.start)));
    stop_->setText(q(hub_.positionText(r.stop)));
    startSpin_->setValue(steps_.spinPosition(r.start));
    stopSpin_->setValue(steps_.spinPosition(r.stop));
}

void MainPanel::setStart() {
    if (!hub_.hasMidi()) {
        start_->setText("000 : 0 : 000");
        return;
    }
    hub_.setRange(setStartAt(hub_.range(), current_, steps_));
}

void MainPanel::setStop() {
    if (!hub_.hasMidi()) {
        stop_->setText("000 : 0 : 000");
        return;
    }
    hub_.setRange(setStopAt(hub_.range(), current_, steps_));
}

void MainPanel::play(int control) {
    if (!hub_.hasMidi()) return;
    switch (control) {
        case PlayTop: lyrics_.setFor(0); break;
        case Loop: lyrics_.setFor(0); break;
        case PlayLast: lyrics_.setFor(current_); break;
        case PlayBetween: lyrics_.setFor(steps_.tickOfSpin(startSpin_->value())); break;
        default: break;
    }
    lyric_->setText(q(lyrics_.text()));
    switch (control) {
        case PlayTop: hub_.playFromTop(); break;
        case Loop: hub_.loopPlay(); break;
        case PlayLast: hub_.playFromLastPosition(); break;
        case PlayBetween: hub_.playBetween(); break;
        default: break;
    }
}

// --- Files ----------------------------------------------------------------------------------

bool MainPanel::savePrompt() {
    if (!hub_.hasMidi() || !hub_.song().modified()) return true;
    switch (ctx_.prompt.askYesNoCancel(s(tr("確認")), s(tr("歌声データを保存しますか？")))) {
        case PromptAnswer::Yes:
            // The edits are kept: a cancelled or failed save abandons the command.
            return saveAsDialog();
        case PromptAnswer::No: return true;
        case PromptAnswer::Cancel: return false;
    }
    return false;
}

bool MainPanel::saveAsDialog() {
    for (;;) {
        const std::string path = ctx_.files.saveFile(this, tr("Utaﾌｧｲﾙ (*.uta)"), hub_.proposedSongPath(), "uta");
        if (path.empty()) return false;
        if (!hub_.inMidiFolder(path)) {
            ctx_.prompt.warning(s(tr("警告")), s(tr("Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納してください。")));
            continue;
        }
        if (!hub_.saveAs(path)) return false;
        rebuildRecent();
        return true;
    }
}

bool MainPanel::openPath(const std::string& path) {
    const bool ok = hub_.openByExtension(path);
    rebuildRecent();
    if (ok) songOpened();
    return ok;
}

void MainPanel::songOpened() {
    // The old song's channel list goes with its score windows; the new song's list opens
    // and the panel comes to the front.
    if (QWidget* list = window(ChannelList)) {
        list->close();
        delete list;
    }
    openWindow(ChannelList);
    raise();
    activateWindow();
}

void MainPanel::newSong() {
    if (!savePrompt()) return;
    const std::string path = ctx_.files.openFile(this, tr("標準Midiﾌｧｲﾙ (*.mid *.MID *.Mid *.kar *.KAR)"), folderOf(hub_.settings().recentFile(0)));
    if (path.empty() || !isMidiPath(path)) return;
    if (hub_.openMidi(path)) {
        rebuildRecent();
        songOpened();
    }
}

void MainPanel::openSong() {
    if (!savePrompt()) return;
    const std::string path = ctx_.files.openFile(this, tr("歌声ﾌｧｲﾙ (*.uta *.UTA)"), folderOf(hub_.settings().recentFile(0)));
    if (path.empty() || !hasExtension(path, "uta")) return;
    if (!hub_.openSong(path)) return;
    rebuildRecent();
    songOpened();
}

void MainPanel::save() {
    if (!hub_.hasMidi()) return;
    if (hub_.song().songPath().empty()) {
        saveAsDialog();
        return;
    }
    if (hub_.save()) rebuildRecent();
}

void MainPanel::openRecent(int index) {
    std::string path = hub_.settings().recentFile(index);
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
    if (path.empty() || !savePrompt()) return;
    // A successful open moves the path to the top; a failed one leaves the list as it was.
    bool opened = false;
    if (isMidiPath(path))
        opened = hub_.openMidi(path);
    else if (hasExtension(path, "uta"))
        opened = hub_.openSong(path);
    else
        hub_.settings().addRecentFile(path);
    rebuildRecent();
    if (opened) songOpened();
}

void MainPanel::writeWav() {
    if (!hub_.hasMidi()) return;
    const std::string path = ctx_.files.saveFile(this, tr("Waveﾌｧｲﾙ (*.wav)"), hub_.proposedWavPath(), "wav");
    if (path.empty()) return;
    std::string info;
    if (hub_.exportSongWav(path, info)) ctx_.prompt.notice("Wave Info.", info);
}

void MainPanel::importScore(std::string score) {
    if (!savePrompt()) return;
    if (score.empty()) score = ctx_.files.openFile(this, kScoreFilter, folderOf(hub_.settings().recentFile(0)));
    if (score.empty()) return;
    // The part that sings (and its verse), when the score leaves a choice.
    MusicXmlOptions options;
    {
        std::vector<MusicXmlPart> parts;
        std::string error;
        if (!readMusicXmlParts(score, parts, error)) {
            ctx_.prompt.warning("Error", error);
            return;
        }
        if (ScorePartDialog::worthAsking(parts)) {
            ScorePartDialog d(fileNameOf(score), std::move(parts), this);
            if (d.exec() != QDialog::Accepted) return;
            options = d.options();
        }
    }
    std::string base = fileNameOf(score);
    if (const auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
    const std::string song = ctx_.files.saveFile(this, tr("Utaﾌｧｲﾙ (*.uta)"), joinPath(folderOf(score), base + ".uta"), "uta");
    if (song.empty()) return;
    ScoreImport result;
    std::string error;
    if (!importScoreAsSong(hub_, score, song, options, {}, result, error)) {
        if (!error.empty()) ctx_.prompt.warning("Error", translated(error));
        return;
    }
    // Marks read as a musician would, measures never played: the user hears of them.
    if (result.warnings) {
        std::string shown;  // line by line: each line is a text of its own
        for (std::size_t at = 0; at < result.summary.size();) {
            std::size_t end = result.summary.find('\n', at);
            if (end == std::string::npos) end = result.summary.size();
            shown += (shown.empty() ? "" : "\n") + translated(result.summary.substr(at, end - at));
            at = end + 1;
        }
        ctx_.prompt.notice("MusicXML", shown);
    }
    // Opened again as any song is, so that every window shows it.
    if (hub_.openSong(song)) {
        rebuildRecent();
        openWindow(ChannelList);
        raise();
    }
}

void MainPanel::newEmptySong() {
    if (!savePrompt()) return;
    EmptySongDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string song = ctx_.files.saveFile(this, tr("Utaﾌｧｲﾙ (*.uta)"),
                                                 joinPath(folderOf(hub_.settings().recentFile(0)), "melody.uta"), "uta");
    if (song.empty()) return;
    std::string error;
    // The save dialog has asked before a song of that name is replaced.
    if (!writeEmptySong(song, dialog.shape(), true, error)) {
        ctx_.prompt.warning("Error", error);
        return;
    }
    if (!hub_.openSong(song)) return;
    rebuildRecent();
    auto* list = dynamic_cast<ChannelListWindow*>(openWindow(ChannelList));
    if (list) {
        if (ChannelScoreWindow* score = list->openScore(0, 0, 0, true)) {
            score->editor()->setEditMode(true);
            score->raise();
        }
    }
}

void MainPanel::exportLyricsMidi() {
    if (!hub_.hasMidi()) return;
    std::string proposed = hub_.proposedSongPath();
    if (const auto dot = proposed.rfind('.'); dot != std::string::npos) proposed.resize(dot);
    const std::string path = ctx_.files.saveFile(this, tr("標準Midiﾌｧｲﾙ (*.mid)"), proposed + "-lyrics.mid", "mid");
    if (path.empty()) return;
    std::string error;
    if (!exportMidiWithLyrics(hub_, path, false, error)) {
        ctx_.prompt.warning("Error", error);
        return;
    }
    // Said once the file is complete on the disk.
    ctx_.prompt.notice(s(tr("歌詞つきMidiﾌｧｲﾙの書き出し")), s(tr("%1 に書き出しました。").arg(QString::fromStdString(path))));
}

void MainPanel::soundQuality() { editSoundQuality(ctx_, this); }

void MainPanel::applySoundQuality(const SoundQualityDialog& d) { kantor::app::applySoundQuality(ctx_, d); }

void MainPanel::showVersion() {
    QMessageBox box(QMessageBox::NoIcon, tr("ﾊﾞｰｼﾞｮﾝ情報"),
                    QString("%1\n\nkantor %2\nQt %3").arg(shown(text::kHubWindowText), kVersion, qVersion()),
                    QMessageBox::Ok, this);
    box.setIconPixmap(QIcon(":/icons/kantor.svg").pixmap(48, 48));
    box.exec();
}

void MainPanel::openHelp(int command) {
    const HelpPage page = command == ReadMe    ? HelpPage::ReadMe
                          : command == WebHelp ? HelpPage::Guide
                                               : HelpPage::About;
    const QString url = helpPageUrl(hub_.folders().installFolder(), page);
    if (url.isEmpty()) {
        ctx_.prompt.notice("Error", s(tr("ﾍﾙﾌﾟﾌｧｲﾙが見つかりません。")));
        return;
    }
    if (ctx_.openUrl) ctx_.openUrl(url);
}

// --- Notifications ----------------------------------------------------------------------------

void MainPanel::songChanged() {
    updateEnabling();
    refresh();
}

void MainPanel::modifiedChanged() { showTitle(); }

void MainPanel::showTitle() {
    // The song's title, else its file's name (the desktop adds the program's name after it),
    // with a mark when it is modified; the program's name alone without a song.
    QString t = q(hub_.windowTitle());
    if (hub_.hasMidi() && hub_.song().titleInfo().title.empty()) {
        const std::string& song = hub_.song().songPath();
        t = q(fileNameOf(song.empty() ? hub_.midiPath() : song));
    }
    setWindowTitle(hub_.hasMidi() && hub_.song().modified() ? t + " *" : t);
}

void MainPanel::renderProgress(int done, int total) {
    if (total <= 0) {
        progress_->setRange(0, 1);
        progress_->setValue(0);
        return;
    }
    progress_->setRange(0, total);
    progress_->setValue(done);
    progress_->repaint();
}

void MainPanel::playStateChanged() {}

void MainPanel::vocalLate() { statusBar()->showMessage(shown(kVocalLateText), 10000); }

void MainPanel::lyricsChanged() {
    lyrics_.setLines(hub_.song());
    lyrics_.setFor(current_);
    lyric_->setText(q(lyrics_.text()));
}

void MainPanel::positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine*) {
    if (r != PositionReceiver::MainPanel) return;
    current_ = tick;
    showPosition(tick);
    if (c == PositionCode::MarkerReached) {
        lyrics_.advance(tick);
    } else if (c != PositionCode::Position) {
        lyrics_.setFor(tick);
    }
    lyric_->setText(q(lyrics_.text()));
}

void MainPanel::betweenChanged(uint32_t, uint32_t) { showRange(); }

// --- Window events ----------------------------------------------------------------------------

void MainPanel::closeEvent(QCloseEvent* e) {
    if (!closing_ && !savePrompt()) {
        e->ignore();
        return;
    }
    // A window that keeps work of its own (the voice data maker) may call the exit off.
    for (auto& [c, w] : windows_) {
        if (w && !w->close()) {
            e->ignore();
            return;
        }
    }
    closing_ = true;
    storePlacement(this, hub_.settings(), WindowKind::MainPanel);
    e->accept();
    emit closed();
}

void MainPanel::changeEvent(QEvent* e) { QMainWindow::changeEvent(e); }

void MainPanel::dragEnterEvent(QDragEnterEvent* e) {
    if (!e->mimeData()->hasUrls()) return;
    for (const QUrl& u : e->mimeData()->urls()) {
        const std::string p = u.toLocalFile().toStdString();
        if (hasExtension(p, "uta") || isMidiPath(p) || isScorePath(p)) {
            e->acceptProposedAction();
            return;
        }
    }
}

void MainPanel::dropEvent(QDropEvent* e) {
    if (openDropped(e->mimeData()->urls())) e->acceptProposedAction();
}

bool MainPanel::openDropped(const QList<QUrl>& urls) {
    for (const QUrl& u : urls) {
        const std::string p = u.toLocalFile().toStdString();
        if (hasExtension(p, "uta") || isMidiPath(p)) {
            if (savePrompt()) openPath(p);
            return true;
        }
        if (isScorePath(p)) {
            importScore(p);
            return true;
        }
    }
    return false;
}

}  // namespace kantor::app
