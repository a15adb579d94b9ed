#include "app/MidiInstrumentDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "midi/GmInstruments.h"

namespace kantor::app {

MidiInstrumentDialog::MidiInstrumentDialog(uint8_t program, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Midi Instrument");
    auto* v = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    for (std::size_t i = 0; i < kGmInstrumentNames.size(); ++i)
        list_->addItem(QString("%1 %2").arg(i + 1, 3, 10, QChar('0')).arg(kGmInstrumentNames[i]));
    list_->setCurrentRow(program & 0x7F);
    list_->setMinimumWidth(list_->fontMetrics().horizontalAdvance("000 Acoustic Guitar (nylon)") + 40);
    list_->setMinimumHeight(list_->fontMetrics().height() * 16);
    v->addWidget(list_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    v->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

uint8_t MidiInstrumentDialog::program() const {
    const int row = list_->currentRow();
    return static_cast<uint8_t>(row < 0 ? 0 : row & 0x7F);
}

}  // namespace kantor::app
