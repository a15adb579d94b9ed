#include "app/HubWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QScreen>

#include "base/Translation.h"
#include "settings/StartupTexts.h"

namespace kantor::app {

HubWindow::HubWindow(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setWindowTitle(QString::fromStdString(translated(text::kAppTitle)));
    setWindowIcon(QIcon(":/icons/kantor.svg"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(14, 10, 18, 10);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/kantor.svg").pixmap(32, 32));
    auto* label = new QLabel(QString::fromStdString(translated(text::kHubWindowText)), this);
    h->addWidget(icon);
    h->addWidget(label);
    setAutoFillBackground(true);
    adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->availableGeometry();
        move(r.center() - rect().center());
    }
}

}  // namespace kantor::app
