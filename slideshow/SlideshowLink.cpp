#include "slideshow/SlideshowLink.h"

#include "platform/MessageService.h"
#include "slideshow/SlideshowBus.h"

// Qt
#include <QCoreApplication>
#include <QFileInfo>

#include <utility>

namespace glimmora {

namespace {

void showError(const ESlideshowError& error)
{
    showMessage({error.text(), QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                 MessageBeep::Error});
}

} // namespace

TSlideshowLink::TSlideshowLink(QString demoShowPath, QObject* parent)
    : QObject(parent),
      demoShowPath_(std::move(demoShowPath)),
      installed_(glimmora::SlideshowInstalled()),
      designEnabled_(installed_)
{}

TSlideshowLink::~TSlideshowLink() = default;

bool TSlideshowLink::ConnectSlideshow()
{
    try {
        auto server = std::make_unique<TSlideshowServer>(SlideshowLocation());
        // A companion that does not know us could never post its messages back, and the
        // design button would stay disabled for good, so such a connection is not kept.
        server->IdentifyController(static_cast<qint32>(QCoreApplication::applicationPid()));
        setServer(std::move(server));
        return true;
    } catch (const ESlideshowError& error) {
        showError(error);
        return false;
    }
}

void TSlideshowLink::DesignSlideshow()
{
    if (!ConnectSlideshow())
        return;
    try {
        SlideshowServer->ShowDesignForm();
    } catch (const ESlideshowError& error) {
        showError(error);
        return;
    }
    setDesignSlideshowEnabled(false);
}

void TSlideshowLink::RunTheDemo()
{
    if (!QFileInfo(demoShowPath_).isFile())
        return;
    // Minimised only once the show runs: nothing else would ever restore the window. A show
    // that never started cannot end, so it leaves no hint behind for a later message either.
    if (ConnectSlideshow() && startDemoShow())
        emit minimizeRequested();
    else
        demoFromFirstRun_ = false;
}

bool TSlideshowLink::startDemoShow()
{
    try {
        SlideshowServer->RunShow(demoShowPath_);
        return true;
    } catch (const ESlideshowError&) {
        return false; // the introduction is a courtesy; its failure is not worth a box
    }
}

void TSlideshowLink::AddSlides(const QStringList& paths)
{
    if (!SlideshowServer)
        return;
    try {
        for (const QString& path : paths)
            SlideshowServer->AddSlide(path);
    } catch (const ESlideshowError& error) {
        showError(error);
    }
}

void TSlideshowLink::CloseServer()
{
    if (!SlideshowServer)
        return;
    try {
        SlideshowServer->CloseServer();
    } catch (const ESlideshowError&) {
        // The user may have closed the companion already.
    }
    setServer(nullptr);
}

void TSlideshowLink::MessagePosted(unsigned message, const QString& sender)
{
    if (!SlideshowServer || sender != SlideshowServer->uniqueName())
        return;
    if (message != kShowEndedMessage && message != kServerReleasedMessage)
        return;
    // Everything the message changes is settled before the hint's box runs its own event loop:
    // a message that arrives while the hint is up then finds no connection, and no hint to show.
    const bool hintDue = message == kShowEndedMessage && std::exchange(demoFromFirstRun_, false);
    if (message == kShowEndedMessage)
        emit restoreRequested();
    setServer(nullptr);
    setDesignSlideshowEnabled(true);
    if (hintDue)
        ShowIntroductionHint();
}

void TSlideshowLink::ShowIntroductionHint()
{
    showMessage({QStringLiteral("You can view the introduction any time by selecting \"Introducing Glimmora\" "
                                "from the Help menu."),
                 QStringLiteral("Glimmora"), MessageIcon::Information});
}

void TSlideshowLink::setServer(std::unique_ptr<TSlideshowServer> server)
{
    const bool wasConnected = connected();
    SlideshowServer = std::move(server);
    if (connected() != wasConnected)
        emit connectedChanged(connected());
}

void TSlideshowLink::setDesignSlideshowEnabled(bool enabled)
{
    if (enabled == designEnabled_)
        return;
    designEnabled_ = enabled;
    emit designSlideshowEnabledChanged(enabled);
}

} // namespace glimmora
