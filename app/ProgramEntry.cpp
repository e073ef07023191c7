#include "app/ProgramEntry.h"

#include "app/Main.h"
#include "platform/DesktopIcons.h"
#include "platform/MessageService.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "slideshow/GlimmoraBusObject.h"
#include "store/QDB.h"

// Qt
#include <QApplication>
#include <QFile>
#include <QIcon>

namespace glimmora {

int programEntry()
{
    // From here on a logout or shutdown (SIGTERM, SIGHUP) runs the close below, not a kill.
    TerminationSignals::install();
    // The lock comes before the clean-up: an open work file can be deleted here, so clearing
    // first would destroy a running instance's work files.
    SingleInstanceLock instance;
    if (!instance.tryLock()) {
        if (instance.heldByAnother()) {
            showMessage({QStringLiteral("Glimmora is already running.!"), QStringLiteral("Already Running"),
                         MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok, MessageBeep::Exclamation});
            TGlimmoraBusObject::activateRunningInstance();
            return 0;
        }
        showMessage({instance.errorText(), QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok,
                     MessageButton::Ok, MessageBeep::Error});
        return 1;
    }
    store::deleteStaleStoreWorkFiles();

    installIconFallbacks();
    // The launcher's name ties the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.glimmora.Glimmora"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("org.glimmora.Glimmora"), QIcon(QStringLiteral(":/icons/GLIMICON.png"))));
    TMainForm mainForm;
    if (!mainForm.Scrapbook) {
        showMessage({mainForm.ScrapbookError + QStringLiteral(" Glimmora ends."), QStringLiteral("Glimmora"),
                     MessageIcon::Error, MessageButton::Ok, MessageButton::Ok, MessageBeep::Error});
        return 1;
    }
    TerminationNotifier termination;
    QObject::connect(&termination, &TerminationNotifier::terminationRequested, &mainForm, &TMainForm::EndSession);
    // The session manager asks for unsaved work before a logout it may still cancel.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &mainForm, [&mainForm] { mainForm.SaveForSession(); });
    mainForm.FormCreate();
    const int status = QApplication::exec();
    mainForm.close(); // however the loop ended, the scrapbook is saved
    return status;
}

} // namespace glimmora
