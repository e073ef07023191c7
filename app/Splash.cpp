#include "app/Splash.h"

// Qt
#include <QApplication>
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

TSplashForm::TSplashForm(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
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
    TSplashForm splash(parent);
    // A zero-time timer can fire before exec() has shown the window, leaving it up for good.
    QTimer::singleShot(std::max(displayTime(), 1), &splash, &QDialog::accept);
    splash.exec();
}

void TSplashForm::setDisplayTime(int milliseconds) { displayTime() = milliseconds; }

} // namespace glimmora
