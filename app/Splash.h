#pragma once

// Qt
#include <QDialog>

namespace glimmora {

// The splash window: shown modally for a moment while the program starts.
class TSplashForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // Shows a splash window modally until it closes by itself.
    static void showSplash(QWidget* parent);
    // How long the splash stays, in milliseconds (tests make it short).
    static void setDisplayTime(int milliseconds);
};

} // namespace glimmora
