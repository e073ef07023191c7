#include "platform/HelpWindow.h"

#include "platform/Paths.h"

// Qt
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace glimmora {

namespace {

QString& directory()
{
    static QString dir;
    return dir;
}

QPointer<HelpWindow>& theHelpWindow()
{
    static QPointer<HelpWindow> theWindow;
    return theWindow;
}

QList<int>& history()
{
    static QList<int> topics;
    return topics;
}

constexpr int kContentsPage = 0;
constexpr int kGap = 8; // between the dialog's frame and the help window's

bool isModalDialog(const QObject* object)
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && widget->isWindow() && widget->windowModality() != Qt::NonModal;
}

// The context number of a help page, kContentsPage for the contents or any other page.
int topicOf(const QUrl& source)
{
    bool isNumber = false;
    const int context = QFileInfo(source.toLocalFile()).completeBaseName().toInt(&isNumber);
    return isNumber ? context : kContentsPage;
}

} // namespace

QPoint helpPositionBeside(const QRect& dialog, const QSize& help, const QRect& available)
{
    const int roomRight = available.right() - dialog.right() - kGap;
    const int roomLeft = dialog.left() - available.left() - kGap;
    int left = 0;
    if (roomRight >= help.width() || roomRight >= roomLeft)
        left = dialog.right() + 1 + kGap;
    else
        left = dialog.left() - kGap - help.width();
    left = std::max(available.left(), std::min(left, available.right() + 1 - help.width()));
    const int top = std::max(available.top(), std::min(dialog.top(), available.bottom() + 1 - help.height()));
    return {left, top};
}

void HelpWindow::setHelpDirectory(const QString& dir) { directory() = dir; }

QString HelpWindow::helpDirectory() { return directory().isEmpty() ? helpDirectoryOfProgram() : directory(); }

QString HelpWindow::topicPath(int context)
{
    const QString topic = helpDirectory() + QStringLiteral("/%1.html").arg(context);
    if (context != kContentsPage && QFileInfo::exists(topic))
        return topic;
    return helpDirectory() + QStringLiteral("/index.html");
}

// A dialog-type window: the window system keeps it above the window it belongs to (the modal
// dialog it stands beside), which it does for no normal window.
HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      browser_(new QTextBrowser(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false); // left open, it must not keep the program running
    setWindowTitle(QStringLiteral("Glimmora Help"));
    browser_->setOpenLinks(true);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::followSource);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildNavigation(layout);
    layout->addWidget(browser_);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(560, 480);
    // A dialog opened while help is up would block it; the help window follows each one.
    qApp->installEventFilter(this);
}

void HelpWindow::buildNavigation(QVBoxLayout* layout)
{
    auto* navigation = new QToolBar(this);
    navigation->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = navigation->addAction(QIcon::fromTheme(QStringLiteral("go-previous")), QStringLiteral("&Back"),
                                          browser_, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QAction* forward = navigation->addAction(QIcon::fromTheme(QStringLiteral("go-next")), QStringLiteral("&Forward"),
                                             browser_, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    navigation->addAction(QIcon::fromTheme(QStringLiteral("go-home")), QStringLiteral("&Contents"), this,
                          [this] { open(kContentsPage); });
    layout->addWidget(navigation);
}

void HelpWindow::followSource(const QUrl& source) { topic_ = topicOf(source); }

HelpWindow* HelpWindow::instance(bool create)
{
    if (!theHelpWindow() && create)
        theHelpWindow() = new HelpWindow;
    return theHelpWindow();
}

HelpWindow* HelpWindow::openWindow() { return instance(false); }

void HelpWindow::open(int context)
{
    history().append(context);
    browser_->setSource(QUrl::fromLocalFile(topicPath(context)));
    topic_ = context;
    standBeside(QApplication::activeModalWidget());
    show();
    raise();
}

void HelpWindow::standBeside(QWidget* dialog)
{
    if (dialog == this)
        return;
    dialog_ = dialog;
    winId(); // the native window must exist to belong to the dialog's
    // A window that belongs to the modal dialog is not blocked by it; the window manager keeps it
    // above the dialog.
    windowHandle()->setTransientParent(dialog ? dialog->windowHandle() : nullptr);
    if (!dialog)
        return;
    const QScreen* screen = dialog->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    move(helpPositionBeside(dialog->frameGeometry(), frameGeometry().size(), available));
    // The window system learns whose window this is when it is shown: shown before the dialog
    // came, it is shown again, and so stays above the dialog and the dialog's own parent.
    if (isVisible()) {
        hide();
        show();
    }
    // Once the dialog is up, the help comes above it and above the dialog's own parent.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            raise();
    });
}

// A closed window is deleted later; help asked for before then opens a new one.
void HelpWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (theHelpWindow() == this)
        theHelpWindow().clear();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched != this && isModalDialog(watched))
        standBeside(static_cast<QWidget*>(watched));
    else if (event->type() == QEvent::Hide && watched == dialog_)
        standBeside(QApplication::activeModalWidget()); // the dialog under it, if any
    return QWidget::eventFilter(watched, event);
}

void HelpWindow::showTopic(int context) { instance(true)->open(context); }

void HelpWindow::showContents() { instance(true)->open(kContentsPage); }

void HelpWindow::bindHelpKey(QWidget* window, int context)
{
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [context] { showTopic(context); });
}

void HelpWindow::quit()
{
    if (HelpWindow* help = instance(false))
        help->close();
}

int HelpWindow::currentTopic()
{
    const HelpWindow* help = instance(false);
    return help && help->isVisible() ? help->topic_ : -1;
}

const QList<int>& HelpWindow::topicsShown() { return history(); }

} // namespace glimmora
