#pragma once

#include "slideshow/SlideshowInstall.h"
#include "slideshow/SlideshowServer.h"

// Qt
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace glimmora {

// What the main window does with the companion slideshow program, free of widgets: it holds
// the automation object (SlideshowServer) while a connection exists, runs the window's
// slideshow commands, and reacts to the messages the companion posts back. The window follows
// the signals: it minimises and restores itself, and enables its "Design a Slideshow" button
// and menu item as designSlideshowEnabled() says and "Add Images to Slideshow" as connected().
class TSlideshowLink : public QObject {
    Q_OBJECT

public:
    // Reads whether the companion is installed; the design button starts enabled exactly then.
    explicit TSlideshowLink(QString demoShowPath = DemoShowPath().path, QObject* parent = nullptr);
    ~TSlideshowLink() override;

    bool SlideshowInstalled() const { return installed_; }
    bool designSlideshowEnabled() const { return designEnabled_; }
    bool connected() const { return SlideshowServer != nullptr; }

    // Set by the first-run welcome when the user accepts the introduction, so that its end
    // tells the user where to find it again.
    bool DemoFromFirstRun() const { return demoFromFirstRun_; }
    void setDemoFromFirstRun(bool value) { demoFromFirstRun_ = value; }

    // Creates the automation object and identifies Glimmora to it by its process id. A failure
    // is shown in a message box with its own text and leaves any earlier connection as it was;
    // returns whether the new connection stands.
    bool ConnectSlideshow();

    // The window's commands.
    void DesignSlideshow();
    void RunTheDemo();
    void AddSlides(const QStringList& paths); // in the given order, on the existing connection
    void CloseServer();                       // at close; errors are of no interest any more

    // A message posted to the main window over the bus by `sender` (a unique bus name). Only
    // the companion of the current connection is listened to, and only its two messages (1025
    // and 1026); anything else, from anyone else or with no connection, is ignored.
    void MessagePosted(unsigned message, const QString& sender);

    static void ShowIntroductionHint();

signals:
    void minimizeRequested();
    void restoreRequested();
    void designSlideshowEnabledChanged(bool enabled);
    void connectedChanged(bool connected);

private:
    bool startDemoShow();
    void setServer(std::unique_ptr<TSlideshowServer> server);
    void setDesignSlideshowEnabled(bool enabled);

    std::unique_ptr<TSlideshowServer> SlideshowServer;
    QString demoShowPath_;
    bool installed_;
    bool designEnabled_;
    bool demoFromFirstRun_ = false;
};

} // namespace glimmora
