#pragma once

#include "dialogs/NewWindow.h"
#include "import/Load.h"

// Qt
#include <QApplication>
#include <QPoint>
#include <QTimer>

namespace glimmora::test {

// Cancels every Load dialog and category chooser that opens while the object lives, as a user
// who does not want to import or browse yet would, and remembers where the Load dialogs
// appeared and how many choosers asked.
class LoadDialogCloser {
public:
    LoadDialogCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<TLoadform*>(modal)) {
                positions.append(dialog->pos());
                dialog->reject();
            } else if (auto* chooser = qobject_cast<TNewWindowForm*>(modal)) {
                ++choosers;
                chooser->reject();
            }
        });
        timer_.start(10);
    }

    QList<QPoint> positions;
    int choosers = 0;

private:
    QTimer timer_;
};

} // namespace glimmora::test
