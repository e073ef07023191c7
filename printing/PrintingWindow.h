#pragma once

// Qt
#include <QRect>
#include <QString>

class QEvent;
class QKeyEvent;
class QToolButton;
class QWidget;

namespace glimmora {

// What the printing window and the print preview have in common.

// Both windows open this help topic.
inline constexpr int kPrintingHelpContext = 101;

// A picture button: the named picture of the printing windows, the hint as tooltip and name.
QToolButton* pictureButton(QWidget* parent, const QRect& geometry, const QString& hint, const QString& picture);

// F1 opens the printing help topic; true when the key was F1.
bool openHelpOnF1(const QKeyEvent* event);
// A window that is activated points the help at the program's help directory.
void followHelpDirectory(const QWidget& window, const QEvent* event);

// Moves a window to the middle of the screen it is on.
void centreOnScreen(QWidget& window);

} // namespace glimmora
