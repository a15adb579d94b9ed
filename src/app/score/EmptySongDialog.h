#pragma once
// "新規作成 (空の曲)": the tempo, time signature and length of a melody written from nothing
// (song/EmptySong.h).
#include <QComboBox>
#include <QDialog>
#include <QSpinBox>

#include "song/EmptySong.h"

namespace kantor::app {

class EmptySongDialog : public QDialog {
    Q_OBJECT
public:
    explicit EmptySongDialog(QWidget* parent = nullptr);
    EmptySongShape shape() const;
    QSpinBox* tempoBox() const { return tempo_; }
    QSpinBox* measuresBox() const { return measures_; }

private:
    QSpinBox* tempo_;
    QSpinBox* numerator_;
    QComboBox* denominator_;
    QSpinBox* measures_;
};

}  // namespace kantor::app
