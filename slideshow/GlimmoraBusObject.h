#pragma once

// Qt
#include <QDBusContext>
#include <QObject>
#include <QString>

namespace glimmora {

// Glimmora's own object on the session bus: it owns the name "Glimmora.MainWindow" and exports
// /MainWindow, through which the companion slideshow program posts its window messages.
// Without a session bus, or with the name taken, the program runs on without it (the failure
// is logged); the companion then simply cannot report back.
//
// Any program of the session can call the object, so each message is handed on with the
// unique bus name of its sender, for the receiver to tell the companion it is connected to
// from a stranger.
class TGlimmoraBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Glimmora.MainWindow")

public:
    explicit TGlimmoraBusObject(QObject* parent = nullptr);
    ~TGlimmoraBusObject() override;

    bool isRegistered() const { return registered_; }

public slots:
    // Called over the bus; the message is handed on through messagePosted with its sender.
    Q_SCRIPTABLE void PostMessage(uint message);

signals:
    void messagePosted(unsigned message, const QString& sender);

private:
    bool registered_ = false;
};

} // namespace glimmora
