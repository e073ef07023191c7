#include "platform/FileDialogs.h"

#include "platform/MessageService.h"

// Qt
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace glimmora {

namespace {

class SystemFileDialogs : public FileDialogService {
public:
    QString askSaveFileName(const SaveFileRequest& request, QWidget* parent) override
    {
        QFileDialog dialog(parent, request.title, QDir(request.directory).filePath(request.proposedName),
                           QStringLiteral("%1 (*.%2)").arg(request.filterDescription, request.extension));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The prompt asks itself, through the message service, and adds the extension itself.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
};

FileDialogService*& installed()
{
    static FileDialogService* service = nullptr;
    return service;
}

bool mayReplace(const QString& path, const QString& title)
{
    return showMessage({QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path), title,
                        MessageIcon::Question, MessageButton::Yes | MessageButton::No, MessageButton::No,
                        MessageBeep::Question})
           == MessageButton::Yes;
}

void sayNoSuchDirectory(const QString& directory, const QString& title)
{
    showMessage({QStringLiteral("The folder %1 does not exist.").arg(directory), title, MessageIcon::Exclamation,
                 MessageButton::Ok, MessageButton::Ok, MessageBeep::Exclamation});
}

void sayRefused(const QString& why, const QString& title)
{
    showMessage({why, title, MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok, MessageBeep::Exclamation});
}

} // namespace

FileDialogService& FileDialogService::current()
{
    static SystemFileDialogs system;
    FileDialogService* service = installed();
    return service ? *service : system;
}

void FileDialogService::install(FileDialogService* service) { installed() = service; }

QString AskSaveFileName(const SaveFileRequest& request, QWidget* parent, const SaveFileRefusal& refusal)
{
    SaveFileRequest shown = request;
    for (;;) {
        const QString chosen = FileDialogService::current().askSaveFileName(shown, parent);
        if (chosen.isEmpty())
            return QString();
        const QFileInfo file(withDefaultExtension(chosen, request.extension));
        shown.directory = file.absolutePath();
        shown.proposedName = file.fileName();
        if (!file.dir().exists())
            sayNoSuchDirectory(file.absolutePath(), request.title);
        else if (const QString why = refusal ? refusal(file.absoluteFilePath()) : QString(); !why.isEmpty())
            sayRefused(why, request.title);
        else if (!file.exists() || mayReplace(file.absoluteFilePath(), request.title))
            return file.absoluteFilePath();
    }
}

QString withDefaultExtension(const QString& fileName, const QString& extension)
{
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + QLatin1Char('.') + extension : fileName;
}

QString ScriptedFileDialogs::askSaveFileName(const SaveFileRequest& request, QWidget*)
{
    requests_.append(request);
    return answers_.isEmpty() ? QString() : answers_.takeFirst();
}

} // namespace glimmora
