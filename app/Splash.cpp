#include "app/Splash.h"

// Qt
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace glimmora {

TSplashForm::TSplashForm(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/GLIMICON.png")));
    icon->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("<h1>Glimmora</h1><p>Your picture scrapbook</p>"), this);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(name);
    setStyleSheet(QStringLiteral("TSplashForm { background: #fdfaf2; border: 1px solid #1d4f9a; }"));
    resize(320, 200);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::showWhileStarting()
{
    show();
    raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace glimmora
