#include "app/score/EmptySongDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace kantor::app {

EmptySongDialog::EmptySongDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("新規作成 (空の曲)"));
    auto* form = new QFormLayout(this);
    tempo_ = new QSpinBox(this);
    tempo_->setObjectName("tempo");
    tempo_->setRange(20, 400);
    tempo_->setValue(120);
    form->addRow(tr("テンポ（4分音符/分）"), tempo_);
    auto* meter = new QHBoxLayout;
    numerator_ = new QSpinBox(this);
    numerator_->setObjectName("numerator");
    numerator_->setRange(1, 32);
    numerator_->setValue(4);
    denominator_ = new QComboBox(this);
    denominator_->setObjectName("denominator");
    for (int d : {1, 2, 4, 8, 16, 32}) denominator_->addItem(QString::number(d), d);
    denominator_->setCurrentIndex(2);
    meter->addWidget(numerator_);
    meter->addWidget(new QLabel("/", this));
    meter->addWidget(denominator_);
    meter->addStretch(1);
    form->addRow(tr("拍子"), meter);
    measures_ = new QSpinBox(this);
    measures_->setObjectName("measures");
    measures_->setRange(1, 9999);
    measures_->setValue(16);
    form->addRow(tr("長さ（小節）"), measures_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

EmptySongShape EmptySongDialog::shape() const {
    EmptySongShape s;
    s.tempo = uint32_t(tempo_->value());
    s.numerator = numerator_->value();
    s.denominator = denominator_->currentData().toInt();
    s.measures = uint32_t(measures_->value());
    return s;
}

}  // namespace kantor::app
