#include "slideshow/SlideshowServer.h"

#include "slideshow/SlideshowBus.h"

// Qt
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace glimmora {

namespace {

// A call the companion does not answer in this time is reported rather than freezing the window.
constexpr int kCallTimeoutMs = 10000;
constexpr unsigned long kStartPollMs = 25;

QDBusConnection connectedSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw ESlideshowError(
            QStringLiteral("Slidara cannot be reached: there is no session bus (%1).").arg(bus.lastError().message()));
    return bus;
}

QString ownerOf(const QDBusConnection& bus, const QString& service)
{
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(service);
    return owner.isValid() ? owner.value() : QString();
}

void startCompanion(const QString& location)
{
    if (location.isEmpty())
        throw ESlideshowError(QStringLiteral("Slidara is not installed on this computer."));
    QProcess process;
    process.setProgram(location);
    process.setWorkingDirectory(QFileInfo(location).absolutePath());
    if (!process.startDetached())
        throw ESlideshowError(
            QStringLiteral("Slidara could not be started from \"%1\": %2.").arg(location, process.errorString()));
}

// The companion registers its name once it is ready; until then there is nobody to call.
QString waitForOwner(const QDBusConnection& bus, const QString& location, std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    for (;;) {
        const QString owner = ownerOf(bus, kSlideshowService);
        if (!owner.isEmpty())
            return owner;
        if (deadline.hasExpired())
            throw ESlideshowError(
                QStringLiteral("Slidara was started from \"%1\" but did not answer within %2 seconds.")
                    .arg(location)
                    .arg(std::chrono::duration<double>(wait).count()));
        QThread::msleep(kStartPollMs);
    }
}

} // namespace

ESlideshowError::ESlideshowError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}

TSlideshowServer::TSlideshowServer(const QString& location, std::chrono::milliseconds startWait)
    : bus_(connectedSessionBus())
{
    instance_ = ownerOf(bus_, kSlideshowService);
    if (instance_.isEmpty()) {
        startCompanion(location);
        instance_ = waitForOwner(bus_, location, startWait);
    }
}

void TSlideshowServer::IdentifyController(qint32 handle) { call(QStringLiteral("IdentifyController"), {handle}); }

void TSlideshowServer::ShowDesignForm() { call(QStringLiteral("ShowDesignForm")); }

void TSlideshowServer::RunShow(const QString& path) { call(QStringLiteral("RunShow"), {path}); }

void TSlideshowServer::AddSlide(const QString& path) { call(QStringLiteral("AddSlide"), {path}); }

void TSlideshowServer::CloseServer() { call(QStringLiteral("CloseServer")); }

void TSlideshowServer::call(const QString& method, const QVariantList& arguments)
{
    QDBusMessage request = QDBusMessage::createMethodCall(instance_, kSlideshowPath, kSlideshowInterface, method);
    request.setArguments(arguments);
    request.setAutoStartService(false);
    const QDBusMessage reply = bus_.call(request, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw ESlideshowError(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
}

} // namespace glimmora
