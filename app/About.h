#pragma once

// Qt
#include <QDialog>

namespace glimmora {

// The about window of the Help menu.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

} // namespace glimmora
