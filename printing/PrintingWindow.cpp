#include "printing/PrintingWindow.h"

#include "platform/HelpWindow.h"
#include "platform/Paths.h"

// Qt
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QToolButton>

// The pictures live in this static library, whose resource initialiser the linker would drop;
// Q_INIT_RESOURCE must be used outside any namespace.
static void initPrintingIcons() { Q_INIT_RESOURCE(printing_icons); }

namespace glimmora {

QToolButton* pictureButton(QWidget* parent, const QRect& geometry, const QString& hint, const QString& picture)
{
    initPrintingIcons();
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setIcon(QIcon(QStringLiteral(":/printing/%1.png").arg(picture)));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void TPrintingDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1)
        HelpWindow::showTopic(kPrintingHelpContext);
    else
        QDialog::keyPressEvent(event);
}

void TPrintingDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        HelpWindow::setHelpDirectory(helpDirectoryOfProgram());
}

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen)
        window.move(screen->availableGeometry().center() - window.rect().center());
}

} // namespace glimmora
