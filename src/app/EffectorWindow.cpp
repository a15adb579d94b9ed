#include "app/EffectorWindow.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "base/Translation.h"
#include "plugins/PluginTexts.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
// A text of the core, in the chosen language.
QString shown(const char* text) { return QString::fromStdString(translated(text)); }

void fill(QListWidget* list, const std::vector<std::string>& rows, int selected) {
    const QSignalBlocker b(list);
    list->clear();
    for (const std::string& r : rows) list->addItem(q(r));
    list->setCurrentRow(selected);
}
}  // namespace

EffectorWindow::EffectorWindow(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx), model_(ctx.prompt) {
    build();
    model_.openSettings(ctx_.hub.settings().pluginFiles());
    refresh();
}

EffectorWindow::EffectorWindow(AppContext& ctx, const std::array<int32_t, 3>& references, QWidget* parent)
    : QDialog(parent), ctx_(ctx), model_(ctx.prompt) {
    build();
    model_.openSelection(ctx_.hub.settings().pluginFiles(), references);
    refresh();
}

void EffectorWindow::build() {
    using namespace plugintext;
    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(shown(kPluginListLabel), this), 0, 0);
    plugins_ = new QListWidget(this);
    g->addWidget(plugins_, 1, 0);
    auto* pluginButtons = new QHBoxLayout();
    register_ = new QPushButton(shown(kRegisterButton), this);
    remove_ = new QPushButton(shown(kRemoveButton), this);
    pluginButtons->addWidget(register_);
    pluginButtons->addWidget(remove_);
    pluginButtons->addStretch(1);
    g->addLayout(pluginButtons, 2, 0);

    g->addWidget(new QLabel(shown(kEffectListLabel), this), 0, 1);
    effects_ = new QListWidget(this);
    QFont mono = effects_->font();
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFamily("monospace");
    effects_->setFont(mono);
    g->addWidget(effects_, 1, 1);
    comment_ = new QPlainTextEdit(this);
    comment_->setReadOnly(true);
    comment_->setMaximumHeight(comment_->fontMetrics().lineSpacing() * 4 + 12);
    g->addWidget(comment_, 3, 0, 1, 2);

    g->addWidget(new QLabel(shown(kChosenListLabel), this), 4, 0, 1, 2);
    chosen_ = new QListWidget(this);
    chosen_->setMaximumHeight(chosen_->fontMetrics().lineSpacing() * 3 + 16);
    g->addWidget(chosen_, 5, 0, 1, 2);
    auto* chooseButtons = new QHBoxLayout();
    choose_ = new QPushButton(shown(kChooseButton), this);
    unchoose_ = new QPushButton(shown(kUnchooseButton), this);
    chooseButtons->addWidget(choose_);
    chooseButtons->addWidget(unchoose_);
    chooseButtons->addStretch(1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    chooseButtons->addWidget(box);
    g->addLayout(chooseButtons, 6, 0, 1, 2);
    g->setColumnStretch(0, 2);
    g->setColumnStretch(1, 3);

    connect(plugins_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        model_.selectPlugin(row);
        refresh();
    });
    connect(effects_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_) model_.selectEffect(row);
    });
    connect(chosen_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_) model_.selectChosen(row);
    });
    connect(effects_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!model_.selectionEnabled()) return;
        model_.choose();
        refresh();
    });
    connect(chosen_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!model_.selectionEnabled()) return;
        model_.unchoose();
        refresh();
    });
    connect(register_, &QPushButton::clicked, this, &EffectorWindow::registerFile);
    connect(remove_, &QPushButton::clicked, this, [this] {
        model_.removeSelected();
        refresh();
    });
    connect(choose_, &QPushButton::clicked, this, [this] {
        model_.choose();
        refresh();
    });
    connect(unchoose_, &QPushButton::clicked, this, [this] {
        model_.unchoose();
        refresh();
    });
    connect(box, &QDialogButtonBox::accepted, this, &EffectorWindow::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(560, 420);
}

void EffectorWindow::refresh() {
    refreshing_ = true;
    setWindowTitle(q(translated(model_.title())));
    fill(plugins_, model_.pluginRows(), model_.selectedPlugin());
    fill(effects_, model_.effectRows(), model_.selectedEffect());
    fill(chosen_, model_.chosenRows(), model_.selectedChosen());
    comment_->setPlainText(q(model_.commentText()).replace("\r\n", "\n"));
    register_->setEnabled(model_.registerEnabled());
    remove_->setEnabled(model_.removeEnabled());
    for (QWidget* w : {static_cast<QWidget*>(choose_), static_cast<QWidget*>(unchoose_),
                       static_cast<QWidget*>(chosen_)})
        w->setEnabled(model_.selectionEnabled());
    refreshing_ = false;
}

void EffectorWindow::registerFile() {
    // The dialog's filter in the toolkit's form; a file whose extension is not exactly
    // "ncp" (capitals included) is ignored by the model.
    const std::string path = ctx_.files.openFile(this, tr("Sonnetra 外部ｴﾌｪｸﾀ ﾌﾟﾗｸﾞｲﾝ (*.ncp)"), std::string());
    if (path.empty()) return;
    model_.registerFile(path);
    refresh();
}

void EffectorWindow::accept() {
    if (model_.mode() == EffectorMode::Settings) ctx_.hub.settings().setPluginFiles(model_.settingsResult());
    QDialog::accept();
}

}  // namespace kantor::app
