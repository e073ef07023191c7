#include "platform/UserInterface.h"

// Qt
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace glimmora {

namespace {

bool haveGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

} // namespace

HourglassCursor::HourglassCursor()
{
    if (haveGui())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

HourglassCursor::~HourglassCursor()
{
    if (haveGui())
        QGuiApplication::restoreOverrideCursor();
}

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace glimmora
