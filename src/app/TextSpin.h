#pragma once
// A value with its text and a pair of arrow buttons beside it, as the editing dialogs show
// their spins: each step asks the owner (which may refuse it) and the owner sets the text.
#include <QLabel>
#include <QWidget>
#include <functional>

#include "app/UpDownSpin.h"

namespace kantor::app {

class TextSpin : public QWidget {
    Q_OBJECT
public:
    // `step(value, delta)` returns false to refuse a step (the value stays).
    TextSpin(int lo, int hi, int value, QWidget* parent = nullptr);
    int value() const { return value_; }
    void setValue(int v);
    void setText(const QString& t) { text_->setText(t); }
    QString text() const { return text_->text(); }
    // One step as the user makes it; false when refused.
    bool stepBy(int delta);
    std::function<bool(int value, int delta)> step;
    UpDownSpin* arrows() const { return arrows_; }
    void setMinimumTextWidth(int chars);

signals:
    void stepped(int value);

private:
    QLabel* text_;
    UpDownSpin* arrows_;
    int lo_, hi_, value_;
};

}  // namespace kantor::app
