#include "StandInControl.h"

#include "slideshow/SlideshowBus.h"

// Qt
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QSettings>
#include <QThread>

namespace glimmora::test {

namespace {

constexpr int kWaitMs = 5000;

void setEnvironmentList(const char* name, const QStringList& values)
{
    if (values.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, values.join(QLatin1Char(',')).toUtf8());
}

} // namespace

void postThroughStandIn(unsigned message)
{
    QDBusMessage post = QDBusMessage::createMethodCall(kSlideshowService, QStringLiteral("/StandIn"),
                                                       QStringLiteral("Slidara.StandIn"), QStringLiteral("Post"));
    post << message;
    QDBusConnection::sessionBus().call(post);
}

QString standInProgram() { return QStringLiteral(GLIMMORA_BIN_DIR "/slidara_standin"); }

void setSlideshowLocation(const QString& location)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Slidara"),
                       QStringLiteral("Slidara"));
    settings.setValue(QStringLiteral("Install/WHERE"), location);
    settings.sync();
}

void installStandIn(const StandInSetup& setup)
{
    setSlideshowLocation(standInProgram());
    setEnvironmentList("SLIDARA_STANDIN_LOG", setup.log.isEmpty() ? QStringList() : QStringList{setup.log});
    setEnvironmentList("SLIDARA_STANDIN_FAIL", setup.failing);
    setEnvironmentList("SLIDARA_STANDIN_POST", setup.posts);
}

QStringList standInCalls(const QString& log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool companionRunning() { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kSlideshowService); }

void stopStandIn()
{
    if (!companionRunning())
        return;
    QDBusMessage quit = QDBusMessage::createMethodCall(kSlideshowService, QStringLiteral("/StandIn"),
                                                       QStringLiteral("Slidara.StandIn"), QStringLiteral("Quit"));
    QDBusConnection::sessionBus().call(quit);
    waitUntil([] { return !companionRunning(); });
}

bool waitUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

} // namespace glimmora::test
