#include "app/Splash.h"

// Qt
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace glimmora {

namespace {

int& displayTime()
{
    static int milliseconds = 1200;
    return milliseconds;
}

} // namespace

TSplashForm::TSplashForm(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setModal(true);
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
}

void TSplashForm::showSplash(QWidget* parent)
{
    // Our own loop rather than exec(): showing a window can deliver a short timer at once, and
    // exec() would then wait for good on a splash that has already gone.
    TSplashForm splash(parent);
    QEventLoop loop;
    connect(&splash, &QDialog::finished, &loop, &QEventLoop::quit);
    splash.show();
    QTimer::singleShot(displayTime(), &splash, &QDialog::accept);
    if (splash.isVisible())
        loop.exec();
}

void TSplashForm::setDisplayTime(int milliseconds) { displayTime() = milliseconds; }

} // namespace glimmora
