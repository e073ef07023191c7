#pragma once

#include "import/Load.h"

// Qt
#include <QApplication>
#include <QPoint>
#include <QTimer>

namespace glimmora::test {

// Cancels every Load dialog that opens while the object lives, as a user who does not want to
// import yet would, and remembers where the dialogs appeared.
class LoadDialogCloser {
public:
    LoadDialogCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<TLoadform*>(QApplication::activeModalWidget())) {
                positions.append(dialog->pos());
                dialog->reject();
            }
        });
        timer_.start(10);
    }

    QList<QPoint> positions;

private:
    QTimer timer_;
};

} // namespace glimmora::test
