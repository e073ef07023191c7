#pragma once

// Qt
#include <QDBusContext>
#include <QObject>
#include <QString>

namespace glimmora {

// Glimmora's own object on the session bus: it owns the name "Glimmora.MainWindow" and exports
// /MainWindow, through which the companion slideshow program posts its window messages and a
// second start of Glimmora asks the running one to come to the front.
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

    // A second start, refused: asks the running instance to raise its window. False when no
    // instance answered (none on this session bus, or it did not answer in time).
    static bool activateRunningInstance();

public slots:
    // Called over the bus; the message is handed on through messagePosted with its sender.
    Q_SCRIPTABLE void PostMessage(uint message);
    // Called over the bus by a second start; handed on through activationRequested.
    Q_SCRIPTABLE void Activate();

signals:
    void messagePosted(unsigned message, const QString& sender);
    void activationRequested();

private:
    bool registered_ = false;
};

} // namespace glimmora
