#pragma once

// Qt
#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace glimmora {

// The save-file prompt. The dialog itself is asked for through the current FileDialogService,
// so that tests can read what was offered and answer it; the questions around it go through the
// message service.

// What a save dialog offers: its title, the directory it opens in, the name it proposes, and
// its one filter: a description and the extension (without the dot) it lists and adds.
struct SaveFileRequest {
    QString title;
    QString directory;
    QString proposedName;
    QString filterDescription;
    QString extension;

    bool operator==(const SaveFileRequest&) const = default;
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;

    // Shows the save dialog once: the path chosen, or empty when the user cancelled. It asks
    // nothing about a file that exists.
    virtual QString askSaveFileName(const SaveFileRequest& request, QWidget* parent) = 0;

    // The service in use; the system's dialog unless a test installed another.
    static FileDialogService& current();
    // Not owned; nullptr restores the system's dialog.
    static void install(FileDialogService* service);
};

// Why a chosen path may not be taken (the caller's own rule); empty when it may.
using SaveFileRefusal = std::function<QString(const QString& path)>;

// The whole prompt: the dialog; the extension added to a name typed without one; a name in a
// directory that does not exist refused, and so is a name `refusal` gives a reason against; and,
// for a file that exists, the question whether to replace it. After a refusal or a No the dialog
// is shown again with that name. Empty when the user cancelled.
QString AskSaveFileName(const SaveFileRequest& request, QWidget* parent, const SaveFileRefusal& refusal = {});

// A chosen name with the extension (without the dot) added when it has none.
QString withDefaultExtension(const QString& fileName, const QString& extension);

// Records each dialog asked for and answers from a script: each takes the next answer, or
// cancels when the script is empty.
class ScriptedFileDialogs : public FileDialogService {
public:
    QString askSaveFileName(const SaveFileRequest& request, QWidget* parent) override;

    void answer(const QString& path) { answers_.append(path); }
    void answerCancel() { answers_.append(QString()); }

    const QList<SaveFileRequest>& requests() const { return requests_; }

private:
    QList<QString> answers_;
    QList<SaveFileRequest> requests_;
};

// Installs a ScriptedFileDialogs for the lifetime of the object (tests).
class ScopedScriptedFileDialogs : public ScriptedFileDialogs {
public:
    ScopedScriptedFileDialogs() { FileDialogService::install(this); }
    ~ScopedScriptedFileDialogs() override { FileDialogService::install(nullptr); }
};

} // namespace glimmora
