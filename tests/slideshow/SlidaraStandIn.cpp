// A stand-in for the companion slideshow program, for tests: it owns the companion's bus name,
// answers its automation methods, and records every call it receives. Started like the real
// program (by the location in the companion's settings, with no arguments), so it is steered
// by the environment it inherits:
//   SLIDARA_STANDIN_LOG   file to which each call is appended as a line: "Started" once the
//                         program runs, then "IdentifyController 4711", "ShowDesignForm",
//                         "RunShow /path", "AddSlide /path", "CloseServer"
//   SLIDARA_STANDIN_FAIL  comma-separated method names that answer with a bus error whose text
//                         is "<method> failed in the stand-in"
//   SLIDARA_STANDIN_POST  comma-separated "Method=message" pairs: after answering Method, post
//                         the message (e.g. 1025) to Glimmora's /MainWindow
// Besides, the object /StandIn (interface Slidara.StandIn) lets a test make it post a message
// at any time (Post(uint)) and end it (Quit()). The stand-in ends after CloseServer, and when
// it loses its bus.

#include "slideshow/SlideshowBus.h"

// Qt
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QHash>
#include <QTimer>

#include <cstdio>

namespace {

using namespace glimmora;

void appendToLog(const QString& line)
{
    const QString path = qEnvironmentVariable("SLIDARA_STANDIN_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write((line + QLatin1Char('\n')).toUtf8());
}

QStringList listFromEnvironment(const char* name)
{
    return qEnvironmentVariable(name).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QHash<QString, uint> postsFromEnvironment()
{
    QHash<QString, uint> posts;
    for (const QString& entry : listFromEnvironment("SLIDARA_STANDIN_POST")) {
        const QStringList parts = entry.split(QLatin1Char('='));
        if (parts.size() == 2)
            posts.insert(parts[0].trimmed(), parts[1].trimmed().toUInt());
    }
    return posts;
}

// Fire and forget, as a posted window message is: the controller is not waited for.
void postToController(uint message)
{
    QDBusMessage post = QDBusMessage::createMethodCall(kControllerService, kControllerPath, kControllerInterface,
                                                       QStringLiteral("PostMessage"));
    post << message;
    post.setAutoStartService(false);
    QDBusConnection::sessionBus().send(post);
}

class StandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Slidara.SlideShowOLE")

public:
    StandIn() : failing_(listFromEnvironment("SLIDARA_STANDIN_FAIL")), posts_(postsFromEnvironment()) {}

public slots:
    Q_SCRIPTABLE void IdentifyController(int handle)
    {
        answer(QStringLiteral("IdentifyController"), QString::number(handle));
    }
    Q_SCRIPTABLE void ShowDesignForm() { answer(QStringLiteral("ShowDesignForm")); }
    Q_SCRIPTABLE void RunShow(const QString& path) { answer(QStringLiteral("RunShow"), path); }
    Q_SCRIPTABLE void AddSlide(const QString& path) { answer(QStringLiteral("AddSlide"), path); }
    Q_SCRIPTABLE void CloseServer()
    {
        answer(QStringLiteral("CloseServer"));
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    void answer(const QString& method, const QString& argument = {})
    {
        appendToLog(argument.isNull() ? method : method + QLatin1Char(' ') + argument);
        if (failing_.contains(method))
            sendErrorReply(QStringLiteral("Slidara.SlideShowOLE.Error.Failed"),
                           method + QStringLiteral(" failed in the stand-in"));
        // After the reply has gone, as a real show ends some time after it was started.
        if (const auto post = posts_.constFind(method); post != posts_.cend())
            QTimer::singleShot(0, this, [message = post.value()] { postToController(message); });
    }

    QStringList failing_;
    QHash<QString, uint> posts_;
};

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Slidara.StandIn")

public slots:
    Q_SCRIPTABLE void Post(uint message)
    {
        QTimer::singleShot(0, this, [message] { postToController(message); });
    }
    Q_SCRIPTABLE void Quit() { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "slidara_standin: no session bus\n");
        return 1;
    }
    StandIn standIn;
    Control control;
    bus.registerObject(kSlideshowPath, &standIn, QDBusConnection::ExportScriptableSlots);
    bus.registerObject(QStringLiteral("/StandIn"), &control, QDBusConnection::ExportScriptableSlots);
    appendToLog(QStringLiteral("Started"));
    if (!bus.registerService(kSlideshowService)) {
        std::fprintf(stderr, "slidara_standin: the name %s is taken\n", kSlideshowService.data());
        return 1;
    }
    // Without its bus the stand-in has nothing left to do; it must not outlive the test's daemon.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [] {
        if (!QDBusConnection::sessionBus().isConnected())
            QCoreApplication::quit();
    });
    busWatch.start(200);
    return app.exec();
}

#include "SlidaraStandIn.moc"
