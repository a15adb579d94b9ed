#include "app/NoteVoiceWindow.h"

#include "app/NoteSettingsDialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QPointer>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/EditCommands.h"
#include "app/EditDialogs.h"
#include "app/RomajiListWindow.h"
#include "app/WindowPlacement.h"
#include "song/ScoreGeometry.h"
#include "song/SongEdits.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::app {

namespace {

std::array<QPointer<NoteVoiceWindow>, 16> windows;

QString q(const std::string& s) { return QString::fromStdString(s); }

constexpr const char* kCaption = "VoiceNote";  // string 119

}  // namespace

NoteVoiceWindow* NoteVoiceWindow::of(int channel) { return windows[static_cast<std::size_t>(channel & 15)]; }

NoteVoiceWindow* NoteVoiceWindow::open(AppContext& ctx, int channel, std::size_t note, QWidget* parent,
                                       const QWidget* beside) {
    if (!ctx.hub.song().event(channel, note)) return nullptr;
    if (NoteVoiceWindow* w = of(channel)) {
        if (w->isMinimized() || !w->isVisible()) w->showNormal();
        if (!beside) {
            w->raise();
            w->activateWindow();
        }
        w->selectNote(note);
        return w;
    }
    auto* w = new NoteVoiceWindow(ctx, channel, note, parent, beside);
    if (beside) w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->show();
    return w;
}

NoteVoiceWindow::NoteVoiceWindow(AppContext& ctx, int channel, std::size_t note, QWidget* parent,
                                 const QWidget* beside)
    : QWidget(parent, Qt::Window), ctx_(ctx), song_(&ctx.hub.song()), c_(channel & 15), n_(note) {
    setAttribute(Qt::WA_DeleteOnClose);
    windows[static_cast<std::size_t>(c_)] = this;
    presets_ = ctx_.hub.settings().oneClickLengths();
    build();
    ctx_.hub.voices().enumerateVoiceFiles();
    voices_ = voiceChoices(ctx_.hub.voices());
    ctx_.hub.addListener(this);
    load();
    highlightNote(ctx_.hub.song(), c_, n_, true);
    adjustSize();
    const bool stored = !ctx_.hub.settings().windowRect(WindowKind::NoteVoice, c_).isEmpty();
    if (beside && !stored) {
        // Beside the score, clear of it and of the selected note, within the screen.
        placeBeside(this, beside);
        autoPlace_ = pos();
    } else {
        restorePlacement(this, ctx_.hub.settings(), WindowKind::NoteVoice, c_, false, DefaultPlace::Centred);
    }
}

NoteVoiceWindow::~NoteVoiceWindow() {
    ctx_.hub.removeListener(this);
    if (windows[static_cast<std::size_t>(c_)] == this) windows[static_cast<std::size_t>(c_)] = nullptr;
}

void NoteVoiceWindow::build() {
    auto* v = new QVBoxLayout(this);
    v->setSpacing(8);
    auto* top = new QHBoxLayout();
    noteName_ = new QLabel(this);
    QFont big = noteName_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    noteName_->setFont(big);
    noteName_->setMinimumWidth(noteName_->fontMetrics().horizontalAdvance("C10#") + 12);
    auto* nameColumn = new QVBoxLayout();
    nameColumn->addWidget(noteName_);
    // The voice the phrase sings with, by its name.
    voiceName_ = new QLabel(this);
    voiceName_->setObjectName("voiceName");
    voiceName_->setStyleSheet("color: palette(dark);");
    nameColumn->addWidget(voiceName_);
    nameColumn->addStretch(1);
    top->addLayout(nameColumn);

    auto* slotGrid = new QGridLayout();
    slotGrid->setHorizontalSpacing(6);
    slotGrid->setVerticalSpacing(4);
    QFont kanaFont = font();
    kanaFont.setPointSizeF(kanaFont.pointSizeF() * 1.3);
    for (int k = 0; k < 4; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int col = 1 + 2 * k;
        auto* num = new QLabel(QString::number(k + 1), this);
        num->setAlignment(Qt::AlignCenter);
        num->setStyleSheet("color: palette(dark);");
        slotGrid->addWidget(num, 0, col);
        kana_[i] = new QLabel(this);
        kana_[i]->setFont(kanaFont);
        kana_[i]->setAlignment(Qt::AlignCenter);
        kana_[i]->setMinimumHeight(kana_[i]->fontMetrics().height() + 4);
        slotGrid->addWidget(kana_[i], 1, col);
        codes_[i] = new QLineEdit(this);
        codes_[i]->setMaxLength(4);
        codes_[i]->setAlignment(Qt::AlignCenter);
        codes_[i]->setFixedWidth(codes_[i]->fontMetrics().horizontalAdvance("MMMMM") + 14);
        codes_[i]->installEventFilter(this);
        connect(codes_[i], &QLineEdit::textEdited, this, [this, i](const QString& t) {
            const QString up = t.toUpper();
            if (up != t) {
                const int pos = codes_[i]->cursorPosition();
                codes_[i]->setText(up);
                codes_[i]->setCursorPosition(pos);
            }
        });
        slotGrid->addWidget(codes_[i], 2, col);
        lengths_[i] = new QLineEdit(this);
        lengths_[i]->setValidator(new QIntValidator(0, 100, lengths_[i]));
        lengths_[i]->setAlignment(Qt::AlignCenter);
        lengths_[i]->setFixedWidth(codes_[i]->width());
        lengths_[i]->installEventFilter(this);
        slotGrid->addWidget(lengths_[i], 3, col);
        if (k < 3) slotGrid->addWidget(new QLabel(":", this), 3, col + 1, Qt::AlignCenter);
        volumes_[i] = new TextSpin(0, 300, 100, this);
        volumes_[i]->setMinimumTextWidth(3);
        volumes_[i]->step = [this, i](int value, int) {
            volumes_[i]->setText(QString::number(value));
            return true;
        };
        slotGrid->addWidget(volumes_[i], 4, col);
        editing_.insert(editing_.end(), {codes_[i], lengths_[i], volumes_[i]});
    }
    slotGrid->addWidget(new QLabel(tr("長さ比："), this), 3, 0);
    slotGrid->addWidget(new QLabel(tr("音量(%)："), this), 4, 0);
    top->addLayout(slotGrid);
    top->addStretch(1);
    v->addLayout(top);

    auto* row = new QHBoxLayout();
    row->addWidget(new QLabel(tr("ﾉｰﾄ音量(%)"), this));
    noteVolume_ = new TextSpin(0, 300, 100, this);
    noteVolume_->setMinimumTextWidth(3);
    noteVolume_->step = [this](int value, int) {
        noteVolume_->setText(QString::number(value));
        return true;
    };
    row->addWidget(noteVolume_);
    row->addSpacing(16);
    head_ = new QCheckBox(tr("フレーズの先頭"), this);
    row->addWidget(head_);
    row->addSpacing(16);
    auto* groupBox = new QGroupBox(tr("ｸﾞﾙｰﾌﾟ"), this);
    auto* gl = new QHBoxLayout(groupBox);
    gl->setContentsMargins(6, 2, 6, 2);
    auto* groupButtons = new QButtonGroup(this);
    for (int g = 0; g < 6; ++g) {
        groups_[static_cast<std::size_t>(g)] = new QRadioButton(QString(QChar('A' + g)), groupBox);
        groupButtons->addButton(groups_[static_cast<std::size_t>(g)], g);
        gl->addWidget(groups_[static_cast<std::size_t>(g)]);
    }
    row->addWidget(groupBox);
    row->addStretch(1);
    v->addLayout(row);
    editing_.insert(editing_.end(), {noteVolume_, head_, groupBox});

    auto* mid = new QHBoxLayout();
    lengthGroup_ = new QGroupBox(this);
    auto* ll = new QHBoxLayout(lengthGroup_);
    for (int b = 0; b < 5; ++b) {
        auto* p = new QPushButton(lengthGroup_);
        p->setFocusPolicy(Qt::TabFocus);
        p->setMinimumWidth(p->fontMetrics().horizontalAdvance("00000") + 16);
        connect(p, &QPushButton::clicked, this, [this, b] { setOneClickLength(b); });
        oneClick_[static_cast<std::size_t>(b)] = p;
        ll->addWidget(p);
    }
    auto* setup = new QPushButton(tr("設定"), lengthGroup_);
    setup->setFocusPolicy(Qt::TabFocus);
    connect(setup, &QPushButton::clicked, this, [this] { editOneClickLengths(); });
    ll->addWidget(setup);
    mid->addWidget(lengthGroup_);
    auto* listen = new QGroupBox("Listen", this);
    auto* lg = new QHBoxLayout(listen);
    auto add = [this](QLayout* l, const QString& text, auto fn) {
        auto* b = new QPushButton(text, this);
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, fn);
        if (l) l->addWidget(b);
        return b;
    };
    auto* noteVo = add(lg, tr("ﾉｰﾄVo."), [this] { listenNote(); });
    add(lg, "&Midi", [this] { listenMidi(); });
    auto* phrase = add(lg, tr("ﾌﾚｰｽﾞ"), [this] { listenPhrase(); });
    add(lg, "Stop", [this] { stopListening(); });
    mid->addWidget(listen);
    v->addLayout(mid);

    auto* grid = new QGridLayout();
    auto* romaji = add(nullptr, tr("入力ﾛｰﾏ字一覧(&R)"), [this] { openRomajiList(); });
    auto* lengthPos = add(nullptr, tr("ノート長さ・位置(&L)"), [this] { openLengthPosition(); });
    auto* noteSettings = add(nullptr, tr("ノート設定(&N)"), [this] {
        if (!commit()) return;
        modal([&] {
            EditWindowOpen open(ctx_.hub.editWindows(), EditWindows::NoteSettings, c_);
            NoteSettingsDialog d(ctx_, c_, n_, this);
            d.exec();
        });
        load();
    });
    auto* phraseSettings = add(nullptr, tr("フレーズ設定(&P)"), [this] { openPhraseSettings(); });
    auto* quick = add(nullptr, tr("簡易入力(&E)"), [this] { openQuickInput(); });
    auto* wav = add(nullptr, tr("ﾌﾚｰｽﾞWaveﾌｧｲﾙ"), [this] { writePhraseWav(); });
    auto* prev = add(nullptr, tr("前へ(&A)[F4]"), [this] { previous(); });
    auto* nxt = add(nullptr, tr("次へ(&S)[F5]"), [this] { next(); });
    auto* close = add(nullptr, tr("閉じる(&C)"), [this] { this->close(); });
    // Three columns of buttons: the note's, the phrase's, and the steps with closing.
    QWidget* order[] = {romaji, lengthPos, noteSettings, phraseSettings, quick, wav, prev, nxt, close};
    for (int i = 0; i < 9; ++i) grid->addWidget(order[i], i % 3, i / 3);
    v->addLayout(grid);
    phraseButtons_ = {phraseSettings, noteVo, quick, phrase, wav};

    auto* f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(f4, &QShortcut::activated, this, [this] { previous(); });
    connect(f5, &QShortcut::activated, this, [this] { next(); });
    auto* undoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this);
    connect(undoKey, &QShortcut::activated, this, [this] { undo(); });
    connect(redoKey, &QShortcut::activated, this, [this] { redo(); });
    relabelOneClick();
}

QPushButton* NoteVoiceWindow::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void NoteVoiceWindow::relabelOneClick() {
    for (std::size_t b = 0; b < 5; ++b) {
        oneClick_[b]->setText(presets_[b] ? QString::number(presets_[b]) : QString());
        oneClick_[b]->setEnabled(presets_[b] != 0);
    }
}

void NoteVoiceWindow::enablePhraseButtons() {
    const bool in = noteInPhrase(ctx_.hub.song(), c_, n_);
    for (QPushButton* b : phraseButtons_) b->setEnabled(in);
}

void NoteVoiceWindow::load() {
    setWindowTitle(QString("%1 ( %2 - No.%3 )").arg(kCaption).arg(c_ + 1).arg(n_ + 1));
    const bool ok = loadNoteForm(ctx_.hub.song(), ctx_.hub.voices(), c_, n_, form_);
    for (QWidget* w : editing_) w->setEnabled(ok);
    if (!ok) {
        for (int k = 0; k < 4; ++k) {
            codes_[static_cast<std::size_t>(k)]->clear();
            kana_[static_cast<std::size_t>(k)]->clear();
            lengths_[static_cast<std::size_t>(k)]->clear();
        }
        for (QPushButton* b : phraseButtons_) b->setEnabled(false);
        return;
    }
    showForm();
    enablePhraseButtons();
    const VoxEvent* e = ctx_.hub.song().event(c_, n_);
    lengthGroup_->setTitle(tr("ﾉｰﾄ長： %1 ").arg(e->endTick - e->startTick));
    noteName_->setText(q(noteName(static_cast<int>(e->noteKey & 127))));
    voiceName_->setText(q(voiceLabel(voices_, phraseVoiceOf(ctx_.hub.song(), c_, n_))));
    // Only an active window takes the keys to its first code (the score keeps them otherwise).
    if (isVisible() && isActiveWindow()) codes_[0]->setFocus();
}

void NoteVoiceWindow::showForm() {
    for (std::size_t k = 0; k < 4; ++k) {
        codes_[k]->setText(q(form_.code[k]));
        kana_[k]->setText(q(form_.kana[k]));
        lengths_[k]->setText(QString::number(form_.length[k]));
        volumes_[k]->setValue(form_.volume[k]);
        volumes_[k]->setText(QString::number(form_.volume[k]));
    }
    noteVolume_->setValue(form_.noteVolume);
    noteVolume_->setText(QString::number(form_.noteVolume));
    head_->setChecked(form_.phraseHead);
    groups_[std::min<std::size_t>(form_.group, 5)]->setChecked(true);
}

NoteVoiceForm NoteVoiceWindow::readForm() const {
    NoteVoiceForm f = form_;
    for (std::size_t k = 0; k < 4; ++k) {
        f.code[k] = codes_[k]->text().toStdString();
        f.length[k] = static_cast<uint16_t>(std::clamp(lengths_[k]->text().toInt(), 0, 100));
        f.volume[k] = static_cast<uint16_t>(volumes_[k]->value());
    }
    f.noteVolume = static_cast<uint16_t>(noteVolume_->value());
    f.phraseHead = head_->isChecked();
    for (std::size_t g = 0; g < 6; ++g)
        if (groups_[g]->isChecked()) f.group = static_cast<uint16_t>(g);
    return f;
}

bool NoteVoiceWindow::validateShown(int k) {
    if (validating_ || !ctx_.hub.song().event(c_, n_)) return true;
    validating_ = true;
    const auto i = static_cast<std::size_t>(k);
    NoteVoiceForm f = readForm();
    const bool ok = validateSlot(ctx_.hub.voices(), phraseVoiceOf(ctx_.hub.song(), c_, n_), f, k);
    kana_[i]->setText(q(f.kana[i]));
    if (ok) {
        codes_[i]->setText(q(f.code[i]));
        lengths_[i]->setText(QString::number(f.length[i]));
    } else {
        ctx_.prompt.warning(edittext::kWarning, edittext::kUnknownCode);
        codes_[i]->setFocus();
        codes_[i]->selectAll();
    }
    validating_ = false;
    return ok;
}

bool NoteVoiceWindow::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // Ctrl+Z undoes the typing in an edit while there is typing to undo, and the song's
        // last edit once there is none.
        auto* k = static_cast<QKeyEvent*>(e);
        auto* edit = qobject_cast<QLineEdit*>(o);
        if (edit && k->matches(QKeySequence::Undo) && !edit->isUndoAvailable()) {
            e->ignore();
            return true;
        }
    }
    if (e->type() == QEvent::FocusOut) {
        for (int k = 0; k < 4; ++k)
            if (o == codes_[static_cast<std::size_t>(k)] && isActiveWindow()) validateShown(k);
    }
    return QWidget::eventFilter(o, e);
}

bool NoteVoiceWindow::commit() {
    Hub& hub = ctx_.hub;
    if (!hub.song().event(c_, n_)) return true;
    NoteVoiceForm f = readForm();
    hub.history().begin(hub.song(), c_);
    const NoteCommit r = commitNoteForm(hub.song(), hub.voices(), c_, n_, f);
    if (!r.ok) {
        hub.history().cancel();
        const auto i = static_cast<std::size_t>(r.failedSlot);
        kana_[i]->setText({});
        if (!validating_) {
            validating_ = true;
            ctx_.prompt.warning(edittext::kWarning, edittext::kUnknownCode);
            validating_ = false;
        }
        // The code to mend takes the keys, also when the score asked for another note.
        if (isVisible() && !isActiveWindow()) {
            raise();
            activateWindow();
        }
        codes_[i]->setFocus();
        codes_[i]->selectAll();
        return false;
    }
    hub.history().end(hub.song());
    form_ = f;
    showForm();
    if (r.modified) {
        ownEdit_ = true;
        hub.edited(c_);
        ownEdit_ = false;
    }
    if (r.redrawScore) {
        enablePhraseButtons();
        emit noteChanged(c_, static_cast<int>(n_));
    }
    return true;
}

void NoteVoiceWindow::moveTo(std::size_t n) {
    Song& song = ctx_.hub.song();
    highlightNote(song, c_, n_, false);
    emit noteChanged(c_, static_cast<int>(n_));
    n_ = n;
    highlightNote(song, c_, n_, true);
    load();
    emit noteSelected(c_, static_cast<int>(n_));
}

bool NoteVoiceWindow::selectNote(std::size_t n) {
    if (modalChild_ || !ctx_.hub.song().event(c_, n)) return false;
    if (n == n_) return true;
    if (!commit()) return false;
    moveTo(n);
    return true;
}

bool NoteVoiceWindow::previous() {
    if (modalChild_ || n_ == 0) return false;
    if (!commit()) return false;
    moveTo(n_ - 1);
    return true;
}

bool NoteVoiceWindow::next() {
    const std::size_t count = ctx_.hub.song().channel(c_).events.size();
    if (modalChild_ || n_ + 1 >= count) return false;
    if (!commit()) return false;
    moveTo(n_ + 1);
    return true;
}

bool NoteVoiceWindow::setOneClickLength(int b) {
    const uint16_t p = presets_[static_cast<std::size_t>(b & 7) % 5];
    if (p == 0 || !commit()) return false;
    Hub& hub = ctx_.hub;
    std::string error;
    hub.history().begin(hub.song(), c_);
    const bool ok = setNoteLength(hub.song(), c_, n_, p, error);
    hub.history().end(hub.song());
    if (!ok) {
        if (!error.empty()) ctx_.prompt.warning(edittext::kWarning, error);
        return false;
    }
    const VoxEvent* e = hub.song().event(c_, n_);
    lengthGroup_->setTitle(tr("ﾉｰﾄ長： %1 ").arg(e->endTick - e->startTick));
    ownEdit_ = true;
    hub.edited(c_);
    ownEdit_ = false;
    emit noteChanged(c_, static_cast<int>(n_));
    return true;
}

template <typename F>
void NoteVoiceWindow::modal(F f) {
    modalChild_ = true;
    f();
    modalChild_ = false;
}

bool NoteVoiceWindow::editOneClickLengths() {
    bool changed = false;
    modal([&] {
        OneClickLengthDialog d(presets_, this);
        if (d.exec() != QDialog::Accepted || d.values() == presets_) return;
        presets_ = d.values();
        ctx_.hub.settings().setOneClickLengths(presets_);
        relabelOneClick();
        changed = true;
    });
    return changed;
}

void NoteVoiceWindow::listenNote() {
    if (commit()) ctx_.hub.singNote(c_, n_);
}

void NoteVoiceWindow::listenMidi() {
    if (commit()) ctx_.hub.playNoteMidi(c_, n_);
}

void NoteVoiceWindow::listenPhrase() {
    if (commit()) ctx_.hub.playPhrase(c_, n_);
}

void NoteVoiceWindow::stopListening() { ctx_.hub.stop(); }

bool NoteVoiceWindow::writePhraseWav() {
    if (!commit()) return false;
    const std::string path = ctx_.files.saveFile(this, tr("Waveﾌｧｲﾙ (*.wav)"), ctx_.hub.proposedWavPath(), "wav");
    if (path.empty()) return false;
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || QString::fromStdString(path.substr(dot + 1)).toLower() != "wav") return false;
    std::string info;
    if (!ctx_.hub.exportPhraseWav(c_, n_, path, info)) return false;
    if (!info.empty()) ctx_.prompt.notice("Wave Info.", info);
    return true;
}

void NoteVoiceWindow::openLengthPosition() {
    if (!commit()) return;
    modal([&] {
        auto* d = new NoteLengthPosDialog(ctx_, c_, n_, this);
        connect(d, &NoteLengthPosDialog::noteLengthChanged, this, &NoteVoiceWindow::noteChanged);
        EditWindowOpen open(ctx_.hub.editWindows(), EditWindows::NoteLengthPos, c_);
        d->exec();
        delete d;
    });
    load();
}

void NoteVoiceWindow::openPhraseSettings() {
    if (!commit()) return;
    modal([&] { edit::phraseSettings(ctx_, c_, n_, this); });
    load();
}

void NoteVoiceWindow::openQuickInput() {
    if (!commit()) return;
    bool changed = false;
    modal([&] { changed = edit::quickInput(ctx_, c_, n_, this); });
    highlightNote(ctx_.hub.song(), c_, n_, true);
    load();
    if (changed) emit noteChanged(c_, -1);
}

void NoteVoiceWindow::openRomajiList() {
    // A look-up beside the typing: nothing is committed, and the focus stays here.
    if (modalChild_) return;
    RomajiListWindow::open(ctx_, phraseVoiceOf(ctx_.hub.song(), c_, n_), parentWidget() ? parentWidget() : this);
    activateWindow();
}

void NoteVoiceWindow::undo() {
    if (modalChild_) return;
    ctx_.hub.undo();
}

void NoteVoiceWindow::redo() {
    if (modalChild_) return;
    ctx_.hub.redo();
}

void NoteVoiceWindow::songEdited(int channel) {
    if (ownEdit_ || (channel != c_ && channel != EditHistory::kSongDefaults)) return;
    // Someone else changed the channel (an undo, a batch change): show the note as it is now.
    highlightNote(ctx_.hub.song(), c_, n_, true);
    if (!modalChild_) load();
}

void NoteVoiceWindow::songChanged() {
    if (&ctx_.hub.song() != song_) {
        // Another song was opened: this note is gone.
        song_ = nullptr;
        hide();
        deleteLater();
        return;
    }
    load();
}

void NoteVoiceWindow::closeEvent(QCloseEvent* e) {
    if (song_ && !commit()) {
        e->ignore();
        return;
    }
    if (song_) highlightNote(ctx_.hub.song(), c_, n_, false);
    // A window the user never moved from its place beside the score goes there again next time.
    if (!autoPlace_ || *autoPlace_ != pos()) storePlacement(this, ctx_.hub.settings(), WindowKind::NoteVoice, c_);
    emit noteChanged(c_, static_cast<int>(n_));
    emit closing(c_);
    e->accept();
}

OneClickLengthDialog::OneClickLengthDialog(const std::array<uint16_t, 5>& values, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("ﾜﾝｸﾘｯｸ・ﾉｰﾄ長の設定"));
    auto* form = new QFormLayout();
    for (std::size_t i = 0; i < 5; ++i) {
        spins_[i] = new QSpinBox(this);
        spins_[i]->setRange(0, 10000);
        spins_[i]->setValue(values[i]);
        form->addRow(QString::number(i + 1), spins_[i]);
    }
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel(tr("ﾉｰﾄ長 (tick, 0 = なし)"), this));
    v->addLayout(form);
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    b->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(b);
}

std::array<uint16_t, 5> OneClickLengthDialog::values() const {
    std::array<uint16_t, 5> v{};
    for (std::size_t i = 0; i < 5; ++i) v[i] = static_cast<uint16_t>(spins_[i]->value());
    return v;
}

}  // namespace kantor::app
