#pragma once

// Qt
#include <QDialog>

namespace glimmora {

// The splash window: up while the program starts, gone as soon as the main window can be used.
// Start-up is never held back to show it longer.
class TSplashForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // Shows the window and draws it at once, before the start-up work that follows keeps the
    // event loop busy.
    void showWhileStarting();
};

} // namespace glimmora
