#pragma once

// Qt
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QTextBrowser;
class QVBoxLayout;

namespace glimmora {

// The help topic of adding images, which the Load dialog and every window of an import open.
inline constexpr int kAddingImagesTopic = 106;

// Where the help window goes beside a dialog of `dialog`'s frame on a screen whose free area is
// `available`: to its right when it fits there, else to its left, else on the side with more
// room; its top level with the dialog's; always on the screen as far as its size allows.
QPoint helpPositionBeside(const QRect& dialog, const QSize& help, const QRect& available);

// The program's help: one HTML page per help context number (<context>.html) in the help
// directory beside the program, shown in one help window. "Help Topics" is index.html.
//
// Help runs beside every dialog: a modal dialog blocks the program's other windows, so the help
// window makes itself the dialog's own (transient) window whenever one is up, and stands beside
// it, never under it. Esc closes it; Back and Forward (Alt+Left, Alt+Right) walk the pages read.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The help directory that topics are read from; windows set it when they are activated.
    static void setHelpDirectory(const QString& directory);
    static QString helpDirectory();

    // Opens the help window (creating it when needed) on a topic, or on the contents page.
    static void showTopic(int context);
    static void showContents();
    // F1 anywhere in `window` opens the topic of this context number.
    static void bindHelpKey(QWidget* window, int context);
    // Closes the help window, if open.
    static void quit();

    // What the help window shows now: its context number, 0 for the contents page, -1 when no
    // help window is open. Tests read it.
    static int currentTopic();
    // Every topic opened since the program started, in order (0 for the contents page).
    static const QList<int>& topicsShown();

    // The page for a context number (contents page when the topic does not exist).
    static QString topicPath(int context);

    // The open help window, if any (tests).
    static HelpWindow* openWindow();
    QTextBrowser* browser() const { return browser_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    HelpWindow();
    static HelpWindow* instance(bool create);
    void open(int context);
    void buildNavigation(QVBoxLayout* layout);
    void followSource(const QUrl& source);
    // Makes the help window usable beside `dialog` (or free of any dialog when null).
    void standBeside(QWidget* dialog);

    QTextBrowser* browser_;
    QPointer<QWidget> dialog_; // the modal dialog the help window now belongs to
    int topic_ = -1;
};

} // namespace glimmora
