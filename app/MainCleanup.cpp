// The "&Cleanup" menu of the main window: thin faces over the maintenance operations of the
// catalogue, which glimmora-cli runs too.

#include "app/Main.h"

#include "catalog/Categories.h"
#include "catalog/Maintenance.h"
#include "catalog/RemoveableMediaForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "maintenance/ReorgForm.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QElapsedTimer>
#include <QLabel>

#include <memory>

namespace glimmora {

namespace {

// How often a long pass redraws its status text.
constexpr int kStatusRedrawMilliseconds = 100;

// Shows a pass's status text in a status panel, with how far it has come. The panel is redrawn
// at once rather than by letting pending messages run, so that no other command can start
// while the pass changes the scrapbook.
MaintenanceObserver statusPanelObserver(QLabel* panel)
{
    struct State {
        QString status;
        QElapsedTimer sinceRedraw;
    };
    auto state = std::make_shared<State>();
    MaintenanceObserver observer;
    observer.status = [panel, state](const QString& text) {
        state->status = text;
        panel->setText(text);
        panel->repaint();
        state->sinceRedraw.start();
    };
    observer.progress = [panel, state](int done, int total) {
        if (state->status.isEmpty() || state->sinceRedraw.elapsed() < kStatusRedrawMilliseconds)
            return;
        panel->setText(QStringLiteral("%1 %2 of %3").arg(state->status).arg(done).arg(total));
        panel->repaint();
        state->sinceRedraw.start();
    };
    return observer;
}

void showResult(const QString& text, MessageBeep beep, bool failed)
{
    showMessage({text, QStringLiteral("Glimmora"), failed ? MessageIcon::Error : MessageIcon::None, MessageButton::Ok,
                 MessageButton::Ok, failed ? MessageBeep::Error : beep});
}

} // namespace

void TMainForm::Cleanup1Click() { MaintainRemoveableMedia1->setEnabled(!RemoveableMedia->isEmpty()); }

void TMainForm::DeleteImagesNotonDisk1Click()
{
    MissingImagesResult result;
    {
        const HourglassCursor busy;
        result = DeleteImagesNotOnDisk(*Scrapbook, statusPanelObserver(statusPanels.at(0)));
    }
    saveAfterCommand();
    showResult(missingImagesMessage(result), MessageBeep::Exclamation, !result.error.isEmpty());
}

void TMainForm::DeleteEmptyCategories1Click()
{
    int deleted = 0;
    {
        const HourglassCursor busy;
        deleted = DeleteEmptyCategories(*Categories);
    }
    saveAfterCommand();
    RefreshCategoryMenus();
    showResult(emptyCategoriesMessage(deleted), MessageBeep::Exclamation, false);
}

void TMainForm::MaintainRemoveableMedia1Click()
{
    TRemoveableMediaForm form(*Scrapbook, this);
    connect(&form, &TRemoveableMediaForm::disksListed, MaintainRemoveableMedia1, &QAction::setEnabled);
    form.exec();
    MaintainRemoveableMedia1->setEnabled(!RemoveableMedia->isEmpty());
}

void TMainForm::DataBaseIntegrity1Click()
{
    IntegrityResult result;
    {
        const HourglassCursor busy;
        result = CheckIntegrity(*Scrapbook, statusPanelObserver(statusPanels.at(0)));
        processPendingEvents();
    }
    saveAfterCommand();
    showResult(integrityMessage(result), MessageBeep::Information, !result.error.isEmpty());
}

void TMainForm::ReorganizeDataBase1Click()
{
    TReorgForm dialog(*Scrapbook, this);
    dialog.exec();
}

} // namespace glimmora
