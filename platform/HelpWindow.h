#pragma once

// Qt
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace glimmora {

// The help topic of adding images, which the Load dialog and every window of an import open.
inline constexpr int kAddingImagesTopic = 106;

// The program's help: one HTML page per help context number (<context>.html) in the help
// directory beside the program, shown in one help window. "Help Topics" is index.html.
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

private:
    HelpWindow();
    static HelpWindow* instance(bool create);
    void open(int context);

    QTextBrowser* browser_;
    int topic_ = -1;
};

} // namespace glimmora
