#include "app/VoiceMakerWindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ByteLimit.h"
#include "app/ItemPropertiesDialog.h"
#include "app/MidiInstrumentDialog.h"
#include "app/RecordingWindow.h"
#include "app/VoiceBuildTargetDialog.h"
#include "voice/SyllableTable.h"
#include "voicemaker/ItemWave.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/PitchNames.h"
#include "voicemaker/VoiceBuilder.h"

namespace kantor::app {
namespace {

constexpr const char* kProjectFilter = QT_TRANSLATE_NOOP("kantor::app::VoiceMakerWindow", "Vxb作成ﾌﾟﾛｼﾞｪｸﾄ･ﾌｧｲﾙ (*.vxbprj)");
constexpr const char* kWaveFilter = QT_TRANSLATE_NOOP("kantor::app::VoiceMakerWindow", "Waveﾌｧｲﾙ (*.wav)");
constexpr const char* kRateNames[3] = {"11kHz", "22kHz", "44kHz"};

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& t) { return t.toStdString(); }

QFont monospace() {
    QFont f("Monospace");
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

}  // namespace

VoiceMakerWindow::VoiceMakerWindow(AppContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), editor_(project_, ctx.prompt) {
    setWindowTitle(tr("Voice Data 作成"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Devices of its own: they stay alive when the hub lets its own go (exit, a new MIDI output).
    if ((devices_ = ctx_.hub.devices())) {
        stream_ = devices_->makeStream();
        waveOut_ = devices_->makeWaveOut();
        if (stream_ && waveOut_) player_ = std::make_unique<PerformancePlayer>(*stream_, *waveOut_, &devices_->queue());
    }

    auto* v = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(tr("ﾌｧｲﾙ(&F)"));
    connect(file->addAction(tr("新規ﾌﾟﾛｼﾞｪｸﾄ(&N)")), &QAction::triggered, this, [this] { newProject(); });
    connect(file->addAction(tr("ﾌﾟﾛｼﾞｪｸﾄを開く(&O)")), &QAction::triggered, this, [this] { openProject(); });
    connect(file->addAction(tr("上書き保存(&S)")), &QAction::triggered, this, [this] { saveProject(); });
    connect(file->addAction(tr("名前を付けて保存(&A)")), &QAction::triggered, this, [this] { saveProjectAs(); });
    file->addSeparator();
    connect(file->addAction(tr("VoiceDataの作成")), &QAction::triggered, this, [this] { build(); });
    file->addSeparator();
    connect(file->addAction(tr("閉じる(&C)")), &QAction::triggered, this, &QWidget::close);
    v->setMenuBar(bar);

    auto* head = new QGridLayout();
    name_ = new QLineEdit(this);
    comment_ = new QLineEdit(this);
    comment2_ = new QLineEdit(this);
    name_->setObjectName("voiceName");
    // Each goes into a 64-byte cp932 field of the project and the voice file.
    for (QLineEdit* e : {name_, comment_, comment2_}) limitCp932Bytes(e, 63);
    tuning_ = new QDoubleSpinBox(this);
    tuning_->setDecimals(1);
    tuning_->setSingleStep(0.1);
    tuning_->setRange(410.0, 470.0);
    tuning_->setSuffix(" Hz");
    rate_ = new QComboBox(this);
    for (const char* r : kRateNames) rate_->addItem(r);
    head->addWidget(new QLabel(tr("Voice名"), this), 0, 0);
    head->addWidget(name_, 0, 1);
    head->addWidget(new QLabel("Master Tuning", this), 0, 2);
    head->addWidget(tuning_, 0, 3);
    head->addWidget(new QLabel(tr("ｺﾒﾝﾄ"), this), 1, 0);
    head->addWidget(comment_, 1, 1);
    head->addWidget(new QLabel("Sampling", this), 1, 2);
    head->addWidget(rate_, 1, 3);
    head->addWidget(new QLabel(tr("ｺﾒﾝﾄ2"), this), 2, 0);
    head->addWidget(comment2_, 2, 1);
    head->setColumnStretch(1, 1);
    v->addLayout(head);
    for (QLineEdit* e : {name_, comment_, comment2_})
        connect(e, &QLineEdit::textEdited, this, [this] { takeHeaderFields(); });
    connect(tuning_, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!filling_) takeHeaderFields();
    });
    connect(rate_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) takeHeaderFields();
    });

    auto* body = new QHBoxLayout();
    auto* pitchBox = new QVBoxLayout();
    pitchBox->addWidget(new QLabel(tr("音程"), this));
    pitches_ = new QListWidget(this);
    pitches_->setFont(monospace());
    for (int n = kMakerPitchListTop; n >= 0; --n) pitches_->addItem(q(shownPitchText(makerPitchListLine(n))));
    pitches_->setMinimumWidth(QFontMetrics(monospace()).horizontalAdvance(QString(13, 'M')) + 24);
    pitchBox->addWidget(pitches_);
    body->addLayout(pitchBox);

    auto* codeBox = new QVBoxLayout();
    auto* codeHead = new QHBoxLayout();
    codeHead->addWidget(new QLabel(tr("ｺｰﾄﾞ - 表記"), this));
    lower_ = new QCheckBox(tr("小文字ｺｰﾄﾞ"), this);
    codeHead->addStretch(1);
    codeHead->addWidget(lower_);
    codeBox->addLayout(codeHead);
    codes_ = new QListWidget(this);
    codes_->setFont(monospace());
    codes_->setMinimumWidth(QFontMetrics(monospace()).horizontalAdvance(QString(14, 'M')) + 24);
    codeBox->addWidget(codes_);
    auto* typed = new QHBoxLayout();
    code_ = new QLineEdit(this);
    code_->setMaxLength(4);
    code_->setPlaceholderText(tr("ｺｰﾄﾞ"));
    notation_ = new QLineEdit(this);
    notation_->setMaxLength(5);
    notation_->setPlaceholderText(tr("表記"));
    typed->addWidget(code_);
    typed->addWidget(notation_);
    codeBox->addLayout(typed);
    body->addLayout(codeBox);
    connect(lower_, &QCheckBox::toggled, this, &VoiceMakerWindow::setLowerCaseCodes);
    connect(codes_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (const SyllableRow* r = syllableRow(row)) {
            QString c = q(std::string(r->code));
            setTyped(lower_->isChecked() ? c.toLower() : c, q(std::string(r->kana)));
        }
    });

    auto* ops = new QVBoxLayout();
    auto button = [&](const QString& text, auto slot) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        ops->addWidget(b);
        return b;
    };
    button(tr("追加 →"), [this] { addItem(); });
    button(tr("ｺｰﾄﾞ - 表記 の変更"), [this] { changeCode(); });
    button(tr("ﾌﾞﾗﾝｸ挿入"), [this] { insertBlank(); });
    button(tr("削除"), [this] { deleteSelected(); });
    auto* moves = new QHBoxLayout();
    auto* up = new QPushButton("↑", this);
    auto* down = new QPushButton("↓", this);
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(+1); });
    moves->addWidget(up);
    moves->addWidget(down);
    ops->addLayout(moves);
    ops->addSpacing(10);
    button(tr("ﾌﾟﾛﾊﾟﾃｨ"), [this] { openProperties(); });
    button(tr("録音"), [this] { openRecording(); });
    button("Open Wave File", [this] { importWave(); });
    button("Save Wave File", [this] { exportWave(); });
    ops->addSpacing(10);
    auto* listenBox = new QGroupBox(tr("視聴"), this);
    auto* lg = new QGridLayout(listenBox);
    length_ = new QComboBox(listenBox);
    for (const auto& l : kListenLengths) length_->addItem(l.name);
    length_->setCurrentIndex(kDefaultListenLength);
    instrument_ = new QCheckBox("Instrument", listenBox);
    instrument_->setChecked(true);
    auto* inst = new QPushButton("Inst.", listenBox);
    listenPlay_ = new QPushButton("Play", listenBox);
    auto* listenStop = new QPushButton("Stop", listenBox);
    lg->addWidget(length_, 0, 0, 1, 2);
    lg->addWidget(instrument_, 1, 0);
    lg->addWidget(inst, 1, 1);
    lg->addWidget(listenPlay_, 2, 0);
    lg->addWidget(listenStop, 2, 1);
    ops->addWidget(listenBox);
    ops->addStretch(1);
    body->addLayout(ops);
    connect(inst, &QPushButton::clicked, this, [this] {
        MidiInstrumentDialog d(ctx_.hub.settings().soundSettings().guideInstrument(), this);
        if (d.exec() != QDialog::Accepted) return;
        SoundSettings st = ctx_.hub.settings().soundSettings();
        st.setGuideInstrument(d.program());
        ctx_.hub.settings().setSoundSettings(st);
    });
    connect(listenPlay_, &QPushButton::clicked, this, [this] { listen(); });
    connect(listenStop, &QPushButton::clicked, this, [this] { stopListening(); });
    if (!player_) {
        listenPlay_->setEnabled(false);
        listenStop->setEnabled(false);
    }

    auto* itemBox = new QVBoxLayout();
    itemBox->addWidget(new QLabel("Item", this));
    items_ = new QListWidget(this);
    items_->setFont(monospace());
    items_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    items_->setMinimumWidth(QFontMetrics(monospace()).horizontalAdvance(QString(50, 'M')) + 24);
    itemBox->addWidget(items_);
    body->addLayout(itemBox, 1);
    connect(items_, &QListWidget::itemDoubleClicked, this, [this] { openProperties(); });
    v->addLayout(body, 1);

    follow_.setInterval(100);
    connect(&follow_, &QTimer::timeout, this, &VoiceMakerWindow::follow);

    fillCodes();
    project_.clear();
    refresh();
    // The pitch list opens showing C4 with nothing chosen: a pitch is the user's choice.
    pitches_->scrollToItem(pitches_->item(kMakerPitchListTop - kMakerPitchListStart), QAbstractItemView::PositionAtCenter);
    resize(1040, 620);
}

VoiceMakerWindow::~VoiceMakerWindow() {
    follow_.stop();
    player_.reset();
    waveOut_.reset();
    stream_.reset();
}

void VoiceMakerWindow::fillCodes() {
    const int row = codes_->currentRow();
    codes_->clear();
    for (int r = 0; r < int(kSyllableCount); ++r) codes_->addItem(q(codeListLine(r, lower_->isChecked())));
    if (row >= 0) codes_->setCurrentRow(row);
}

void VoiceMakerWindow::setLowerCaseCodes(bool on) {
    if (lower_->isChecked() != on) lower_->setChecked(on);
    fillCodes();
}

void VoiceMakerWindow::refresh() {
    filling_ = true;
    name_->setText(q(project_.voiceName));
    comment_->setText(q(project_.comment));
    comment2_->setText(q(project_.comment2));
    tuning_->setValue(project_.tuning / 1000.0);
    rate_->setCurrentIndex(std::min<int>(project_.rateChoice, 2));
    const std::vector<int> selected = selectedLines();
    items_->clear();
    for (const std::string& line : project_.listLines()) items_->addItem(q(shownPitchText(line)));
    selectLines(selected);
    filling_ = false;
}

void VoiceMakerWindow::takeHeaderFields() {
    if (filling_) return;
    project_.voiceName = s(name_->text());
    project_.comment = s(comment_->text());
    project_.comment2 = s(comment2_->text());
    // The spin steps 0.1 Hz: hundredths of a hertz are rounded to tenths.
    project_.tuning = static_cast<uint32_t>(std::lround(tuning_->value() * 10.0)) * 100u;
    project_.rateChoice = static_cast<uint16_t>(std::max(0, rate_->currentIndex()));
}

void VoiceMakerWindow::selectPitch(int note) {
    const int row = kMakerPitchListTop - note;
    pitches_->setCurrentRow(row);
    pitches_->scrollToItem(pitches_->item(row), QAbstractItemView::PositionAtCenter);
}

void VoiceMakerWindow::selectCode(int row) { codes_->setCurrentRow(row); }

void VoiceMakerWindow::setTyped(const QString& code, const QString& notation) {
    code_->setText(code);
    notation_->setText(notation);
}

void VoiceMakerWindow::selectLines(const std::vector<int>& lines) {
    items_->clearSelection();
    for (int l : lines)
        if (QListWidgetItem* it = items_->item(l)) it->setSelected(true);
    if (!lines.empty() && items_->item(lines.back())) items_->scrollToItem(items_->item(lines.back()));
}

std::vector<int> VoiceMakerWindow::selectedLines() const {
    std::vector<int> lines;
    for (int r = 0; r < items_->count(); ++r)
        if (items_->item(r)->isSelected()) lines.push_back(r);
    return lines;
}

std::optional<SyllablePair> VoiceMakerWindow::typedPair() const {
    if (code_->text().isEmpty() && notation_->text().isEmpty() && codes_->currentRow() < 0) return std::nullopt;
    return SyllablePair{s(code_->text()), s(notation_->text())};
}

void VoiceMakerWindow::addItem() {
    // The chosen pitch: a current row that is not selected (the focus alone puts one on the
    // first line) is no choice.
    const QListWidgetItem* chosen = pitches_->currentItem();
    const int row = chosen && chosen->isSelected() ? pitches_->row(chosen) : -1;
    const int pitch = row < 0 ? -1 : kMakerPitchListTop - row;
    // A line of the same pitch and code is shown selected while the user is asked.
    if (auto pair = typedPair(); pitch >= 0 && pair && !pair->code.empty()) {
        const int same = project_.findSameItem(*VoiceItem::make(pair->code, pair->notation, pitch));
        if (same >= 0) selectLines({same});
    }
    const int added = editor_.addItem(pitch, typedPair());
    if (added < 0) return;
    refresh();
    selectLines({added});
}

void VoiceMakerWindow::changeCode() {
    const std::vector<int> lines = selectedLines();
    if (lines.size() != 1) return;
    if (editor_.changeCode(lines[0], typedPair())) refresh();
}

void VoiceMakerWindow::insertBlank() {
    const std::vector<int> lines = selectedLines();
    const int at = editor_.insertBlank(lines.empty() ? -1 : lines.front());
    refresh();
    selectLines({at});
}

void VoiceMakerWindow::deleteSelected() {
    if (editor_.deleteLines(selectedLines()) > 0) {
        items_->clearSelection();
        refresh();
    }
}

void VoiceMakerWindow::moveSelected(int direction) {
    const std::vector<int> lines = direction < 0 ? editor_.moveUp(selectedLines()) : editor_.moveDown(selectedLines());
    refresh();
    selectLines(lines);
}

int VoiceMakerWindow::singleSelection(bool needData) {
    const std::vector<int> lines = selectedLines();
    if (lines.size() != 1) return -1;
    const auto& item = project_.items[std::size_t(lines[0])];
    if (!item || item->isBlank() || (needData && !item->hasData())) return -1;
    return lines[0];
}

void VoiceMakerWindow::importWave() {
    const int line = singleSelection(false);
    if (line < 0) return;
    const std::string path = ctx_.files.openFile(this, tr(kWaveFilter), ctx_.hub.settings().voiceMakerFolder());
    if (path.empty()) return;
    ItemWave wave(&ctx_.prompt);
    const Outcome o = wave.importWave(*project_.items[std::size_t(line)], path);
    if (o == Outcome::Failed) ctx_.prompt.notice(makertext::kCaptionError, wave.lastError());
    if (o != Outcome::Done) return;
    project_.markItemsEdited();
    refresh();
}

void VoiceMakerWindow::exportWave() {
    const int line = singleSelection(true);
    if (line < 0) return;
    const std::string path = ctx_.files.saveFile(this, tr(kWaveFilter), {}, "wav");
    if (path.empty()) return;
    ItemWave wave(&ctx_.prompt);
    if (wave.exportWave(*project_.items[std::size_t(line)], path) == Outcome::Failed)
        ctx_.prompt.notice(makertext::kCaptionError, wave.lastError());
}

void VoiceMakerWindow::openProperties() {
    const int line = singleSelection(true);
    if (line < 0) return;
    stopListening();
    ItemPropertiesDialog d(ctx_, project_, line, this);
    d.exec();
    refresh();
}

void VoiceMakerWindow::openRecording() {
    stopListening();
    RecordingWindow w(ctx_, project_, this);
    connect(&w, &RecordingWindow::itemsChanged, this, [this] { refresh(); });
    w.exec();
    refresh();
}

void VoiceMakerWindow::listen() {
    if (!player_) return;
    ctx_.hub.stop();
    std::vector<const VoiceItem*> chosen;
    for (int l : selectedLines()) chosen.push_back(project_.items[std::size_t(l)].get());
    MakerSound sound;
    Performance p;
    takeHeaderFields();
    if (!sound.listening(chosen, project_.tuning, project_.outputRate(), length_->currentIndex(),
                         ctx_.hub.playbackDelayCorrection(), p)) {
        ctx_.prompt.notice(makertext::kCaptionError, sound.lastError());
        return;
    }
    const int program = instrument_->isChecked() ? ctx_.hub.settings().soundSettings().guideInstrument() : -1;
    if (!player_->play(std::move(p), -1, program)) {
        ctx_.prompt.notice(makertext::kCaptionError, player_->lastError());
        return;
    }
    follow_.start();
    follow();
}

void VoiceMakerWindow::stopListening() {
    if (player_) player_->stop();
    follow();
}

void VoiceMakerWindow::follow() {
    if (!player_) return;
    const std::string e = player_->takeError();
    if (!e.empty()) {
        player_->stop();
        ctx_.prompt.notice(makertext::kCaptionError, e);
    }
    listenPlay_->setEnabled(!player_->isPlaying());
    if (!player_->isPlaying()) follow_.stop();
}

bool VoiceMakerWindow::askToSave() {
    takeHeaderFields();
    if (!project_.isChanged()) return true;
    switch (ctx_.prompt.askYesNoCancel(makertext::kCaptionConfirm, makertext::kAskSave)) {
        case PromptAnswer::Yes: return saveProject();
        case PromptAnswer::No: return true;
        case PromptAnswer::Cancel: break;
    }
    return false;
}

bool VoiceMakerWindow::newProject() {
    if (!askToSave()) return false;
    stopListening();
    project_.clear();
    code_->clear();
    notation_->clear();
    length_->setCurrentIndex(kDefaultListenLength);
    instrument_->setChecked(true);
    refresh();
    return true;
}

bool VoiceMakerWindow::openProject() {
    if (!askToSave()) return false;
    const std::string path = ctx_.files.openFile(this, tr(kProjectFilter), ctx_.hub.settings().voiceMakerFolder());
    if (path.empty()) return false;
    return openProjectPath(path);
}

bool VoiceMakerWindow::openProjectPath(const std::string& path) {
    stopListening();
    const bool ok = project_.load(path);
    if (!ok) ctx_.prompt.notice(makertext::kCaptionLowerError, project_.lastError());
    items_->clearSelection();
    refresh();
    return ok;
}

bool VoiceMakerWindow::saveProject() {
    takeHeaderFields();
    if (project_.path().empty()) return saveProjectAs();
    if (!project_.save(project_.path())) {
        ctx_.prompt.notice(makertext::kCaptionLowerError, project_.lastError());
        return false;
    }
    return true;
}

bool VoiceMakerWindow::saveProjectAs() {
    takeHeaderFields();
    std::string proposed = project_.path();
    if (proposed.empty()) proposed = ctx_.hub.settings().voiceMakerFolder();
    const std::string path = ctx_.files.saveFile(this, tr(kProjectFilter), proposed, "vxbprj");
    if (path.empty()) return false;
    if (!project_.save(path)) {
        ctx_.prompt.notice(makertext::kCaptionLowerError, project_.lastError());
        return false;
    }
    return true;
}

bool VoiceMakerWindow::build(const std::optional<std::string>& target) {
    takeHeaderFields();
    VoiceBuilder builder;
    if (!builder.validate(project_)) {
        ctx_.prompt.notice(makertext::kCaptionLowerError, builder.lastError());
        return false;
    }
    std::string replace;
    if (target) {
        replace = *target;
    } else {
        VoiceBuildTargetDialog d(ctx_.hub.voices(), this);
        if (d.exec() != QDialog::Accepted) return false;
        replace = d.replaceIdentifier();
    }
    std::string id;
    if (!builder.build(project_, ctx_.hub.folders().voiceFolder(), replace, id, &ctx_.hub.voices())) {
        ctx_.prompt.notice(makertext::kCaptionLowerError, builder.lastError());
        return false;
    }
    ctx_.hub.voicesChanged();
    return true;
}

void VoiceMakerWindow::closeEvent(QCloseEvent* e) {
    if (!askToSave()) {
        e->ignore();
        return;
    }
    stopListening();
    e->accept();
}

}  // namespace kantor::app
