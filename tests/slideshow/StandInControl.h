#pragma once

// Qt
#include <QString>
#include <QStringList>

#include <functional>

namespace glimmora::test {

// Helpers for tests that drive the stand-in companion (SlidaraStandIn.cpp describes what it
// does and the environment variables it reads). Link glimmora_standin_support, which also
// builds the stand-in, and give the test binary a private session bus (PrivateSessionBus.h).

// Where the build put the stand-in: GLIMMORA_BIN_DIR "/slidara_standin".
QString standInProgram();

// Makes the stand-in the installed companion (it is named by the companion's settings) and
// steers the stand-in that the next connection starts: where it records its calls, which of
// its methods fail, and which messages it posts after which methods ("RunShow=1025").
struct StandInSetup {
    QString log = {};
    QStringList failing = {};
    QStringList posts = {};
};
void installStandIn(const StandInSetup& setup);

// Names `location` as the companion's place of installation (empty: not installed).
void setSlideshowLocation(const QString& location);

// The calls recorded in `log`, one line each.
QStringList standInCalls(const QString& log);

// Whether a companion owns its name on the bus.
bool companionRunning();

// Has the running stand-in post `message` to Glimmora's bus object, as the companion posts its
// window messages (only the connected companion's are listened to).
void postThroughStandIn(unsigned message);

// Ends a running stand-in and waits until its name has left the bus.
void stopStandIn();

// Lets events run until `condition` holds; false when it still does not after a few seconds.
bool waitUntil(const std::function<bool()>& condition);

} // namespace glimmora::test
