#include "app/MidiOutputDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kantor::app {

MidiOutputDialog::MidiOutputDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setWindowTitle(tr("Midi出力先の選択"));
    auto* v = new QVBoxLayout(this);
    embedded_ = new QRadioButton(tr("内蔵シンセサイザー (General MIDI SoundFont)"), this);
    alsa_ = new QRadioButton(tr("ALSA シーケンサーのポート："), this);
    port_ = new QLineEdit(this);
    port_->setPlaceholderText("128:0");
    port_->setMaximumWidth(120);
    auto* row = new QHBoxLayout();
    row->addWidget(alsa_);
    row->addWidget(port_);
    row->addStretch(1);
    v->addWidget(embedded_);
    v->addLayout(row);
    auto* note = new QLabel(tr("外部シンセサイザーでは「MidiとWaveの同期補正」で遅延を合わせてください。"), this);
    note->setWordWrap(true);
    v->addWidget(note);
    const MidiOutputChoice& c = ctx_.hub.midiOutput();
    (c.embedded() ? embedded_ : alsa_)->setChecked(true);
    port_->setText(QString::fromStdString(c.alsaPort));
    port_->setEnabled(!c.embedded());
    connect(alsa_, &QRadioButton::toggled, port_, &QLineEdit::setEnabled);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MidiOutputDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

void MidiOutputDialog::accept() {
    MidiOutputChoice c;
    if (alsa_->isChecked()) {
        c.alsaPort = port_->text().trimmed().toStdString();
        if (!MidiOutputChoice::isPortText(c.alsaPort)) {
            ctx_.prompt.warning(tr("警告").toStdString(),
                                tr("ALSA のポートは「クライアント:ポート」で入力してください。（例 128:0）").toStdString());
            return;
        }
    }
    if (!ctx_.hub.setMidiOutput(c)) ctx_.prompt.notice("Error", ctx_.hub.deviceError());
    QDialog::accept();
}

}  // namespace kantor::app
