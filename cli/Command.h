#pragma once

// Qt
#include <QString>
#include <QStringList>

#include <cstdio>

namespace glimmora::cli {

// Exit statuses of the tool.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kBadUsage = 2;

struct Invocation {
    QString dataDirectory; // from --data, empty for the default
    QStringList arguments; // after the command name
};

// A command of the tool. Each command file registers its commands with a static
// CommandRegistration, so adding a command touches no other file.
struct Command {
    const char* name;
    const char* usage; // one line for --help, after "glimmora-cli [--data DIR] "
    bool usesData;     // takes the data lock and the --data option
    int (*run)(const Invocation&);
};

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

const QList<Command>& registeredCommands();

// Output helpers: plain UTF-8 lines on stdout, errors on stderr.
void printLine(const QString& line);
void printError(const QString& line);
// Prints a command's usage line as an error; returns kBadUsage.
int usageError(const char* usage);

} // namespace glimmora::cli
