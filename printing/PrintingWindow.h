#pragma once

// Qt
#include <QDialog>
#include <QRect>
#include <QString>

class QToolButton;

namespace glimmora {

// What the printing window and the print preview have in common.

// Both windows open this help topic.
inline constexpr int kPrintingHelpContext = 101;

// A picture button: the named picture of the printing windows, the hint as tooltip and name.
QToolButton* pictureButton(QWidget* parent, const QRect& geometry, const QString& hint, const QString& picture);

// A printing window: F1 opens the printing help topic, and a window that is activated points the
// help at the program's help directory.
class TPrintingDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
};

// Moves a window to the middle of the screen it is on.
void centreOnScreen(QWidget& window);

} // namespace glimmora
