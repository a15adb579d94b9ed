#pragma once
// A spin control without a text of its own: two arrow buttons that step a whole-number
// position within a range. The panel shows the position as a song position beside it.
#include <QToolButton>
#include <QWidget>

namespace kantor::app {

class UpDownSpin : public QWidget {
    Q_OBJECT
public:
    explicit UpDownSpin(QWidget* parent = nullptr);

    void setRange(int maximum);  // 0 to maximum
    int maximum() const { return max_; }
    int value() const { return value_; }
    // Sets the position without telling anyone (the panel follows the song).
    void setValue(int v);
    // One step as the user makes it: nothing happens at either end of the range.
    void stepBy(int steps);

signals:
    void moved(int value);

protected:
    void wheelEvent(QWheelEvent* e) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int max_ = 0;
    int value_ = 0;
};

}  // namespace kantor::app
