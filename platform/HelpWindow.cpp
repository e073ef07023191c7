#include "platform/HelpWindow.h"

#include "platform/Paths.h"

// Qt
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

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

} // namespace

void HelpWindow::setHelpDirectory(const QString& dir) { directory() = dir; }

QString HelpWindow::helpDirectory()
{
    return directory().isEmpty() ? programDirectory() + QStringLiteral("/help") : directory();
}

QString HelpWindow::topicPath(int context)
{
    const QString topic = helpDirectory() + QStringLiteral("/%1.html").arg(context);
    if (context != kContentsPage && QFileInfo::exists(topic))
        return topic;
    return helpDirectory() + QStringLiteral("/index.html");
}

HelpWindow::HelpWindow() : browser_(new QTextBrowser(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Glimmora Help"));
    browser_->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560, 480);
}

HelpWindow* HelpWindow::instance(bool create)
{
    if (!theHelpWindow() && create)
        theHelpWindow() = new HelpWindow;
    return theHelpWindow();
}

void HelpWindow::open(int context)
{
    topic_ = context;
    history().append(context);
    browser_->setSource(QUrl::fromLocalFile(topicPath(context)));
    show();
    raise();
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
