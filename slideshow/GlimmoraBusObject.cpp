#include "slideshow/GlimmoraBusObject.h"

#include "slideshow/SlideshowBus.h"

// Qt
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QLoggingCategory>

namespace glimmora {

namespace {

Q_LOGGING_CATEGORY(lcBus, "glimmora.slideshow.bus")

// A running instance answers at once; a hung one must not hold the second start for long.
constexpr int kActivateTimeoutMs = 2000;

} // namespace

TGlimmoraBusObject::TGlimmoraBusObject(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcBus) << "no session bus, the slideshow program cannot report back:" << bus.lastError().message();
        return;
    }
    if (!bus.registerObject(kControllerPath, this, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcBus) << "cannot export" << kControllerPath << bus.lastError().message();
        return;
    }
    if (!bus.registerService(kControllerService)) {
        qCWarning(lcBus) << "cannot own the bus name" << kControllerService << bus.lastError().message();
        bus.unregisterObject(kControllerPath);
        return;
    }
    registered_ = true;
}

TGlimmoraBusObject::~TGlimmoraBusObject()
{
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(kControllerService);
    bus.unregisterObject(kControllerPath);
}

void TGlimmoraBusObject::PostMessage(uint message)
{
    // Only a call from the bus has a sender; a direct call from our own code has none.
    emit messagePosted(message, calledFromDBus() ? QDBusContext::message().service() : QString());
}

void TGlimmoraBusObject::Activate() { emit activationRequested(); }

bool TGlimmoraBusObject::activateRunningInstance()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(kControllerService, kControllerPath, kControllerInterface,
                                                             QStringLiteral("Activate"));
    return bus.call(call, QDBus::Block, kActivateTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

} // namespace glimmora
