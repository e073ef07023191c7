#include "cli/Command.h"

#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "store/QDB.h"

// Qt
#include <QCoreApplication>
#include <QGuiApplication>
#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace glimmora::cli {

namespace {

QList<Command>& commands()
{
    static QList<Command> all;
    return all;
}

void printUsage()
{
    printLine(QStringLiteral("Usage:"));
    QList<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
    for (const Command& command : sorted)
        printLine(
            QStringLiteral("  glimmora-cli %1%2")
                .arg(command.usesData ? QStringLiteral("[--data DIR] ") : QString(), QString::fromUtf8(command.usage)));
    printLine(QStringLiteral("  glimmora-cli --help | --version"));
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commands())
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

} // namespace

CommandRegistration::CommandRegistration(Command command) { commands().append(command); }

const QList<Command>& registeredCommands() { return commands(); }

void printLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void printError(const QString& line)
{
    const QByteArray bytes = QByteArray("glimmora-cli: ") + line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

int usageError(const char* usage)
{
    printError(QStringLiteral("usage: glimmora-cli [--data DIR] %1").arg(QLatin1String(usage)));
    return kBadUsage;
}

int runTool(QStringList arguments)
{
    Invocation invocation;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--data")) {
        invocation.dataDirectory = arguments.at(1);
        arguments.remove(0, 2);
    }
    if (arguments.isEmpty()) {
        printUsage();
        return kBadUsage;
    }
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        printUsage();
        return kSuccess;
    }
    if (name == QLatin1String("--version")) {
        printLine(QStringLiteral("glimmora-cli %1").arg(QCoreApplication::applicationVersion()));
        return kSuccess;
    }
    const Command* command = findCommand(name);
    if (!command) {
        printError(QStringLiteral("unknown command '%1' (see --help)").arg(name));
        return kBadUsage;
    }
    if (!invocation.dataDirectory.isEmpty() && !command->usesData) {
        printError(QStringLiteral("%1 takes no --data").arg(name));
        return kBadUsage;
    }
    invocation.arguments = arguments;
    if (!command->usesData)
        return command->run(invocation);

    // The same lock as the program's: the scrapbook's files are never worked on by both.
    SingleInstanceLock instance;
    if (!instance.tryLock()) {
        printError(instance.heldByAnother()
                       ? QStringLiteral("Glimmora is running; close it before working on its scrapbook here.")
                       : instance.errorText());
        return kFailure;
    }
    if (!invocation.dataDirectory.isEmpty())
        qputenv("GLIMMORA_DATA_DIR", QFile::encodeName(invocation.dataDirectory));
    store::deleteStaleStoreWorkFiles();
    return command->run(invocation);
}

} // namespace glimmora::cli

namespace {

// The libraries' warnings ("QStandardPaths: XDG_RUNTIME_DIR not set", "libpng warning: ...")
// mean nothing to the tool's user; every failure that matters is printed by the command itself.
// Only what would end the program gets through.
void printOnlyFailures(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    const QByteArray bytes = QByteArray("glimmora-cli: ") + message.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(printOnlyFailures);
    // Pictures decoded in this process (when the decoder helper cannot run) may draw text, which
    // needs a GUI application; the tool never shows a window, so the offscreen platform does.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Glimmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMMORA_VERSION));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return glimmora::cli::runTool(arguments);
}
