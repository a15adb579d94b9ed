#pragma once
// The small window shown at start: the program icon and "My Kantorellion 2.1.0". It stands
// for the application owner while the main panel is being made, then steps aside.
#include <QWidget>

namespace kantor::app {

class HubWindow : public QWidget {
    Q_OBJECT
public:
    explicit HubWindow(QWidget* parent = nullptr);
};

}  // namespace kantor::app
