// The time from a program's start to a usable main window, on a scrapbook of many images.
//
//   bench_startup build DIR [IMAGES]   writes a scrapbook of IMAGES records (default 60,000)
//   bench_startup glimmora DIR         starts Glimmora on it: prints the milliseconds from main()
//                                      to the main window shown, its start-up done (the category
//                                      chooser up, which it then cancels)
//   bench_startup bare                 the reference: a Qt program showing an empty main window
//
// bench/startup.sh runs each start in a process of its own, in rounds, and prints the medians.

#include "app/Main.h"
#include "bench/BenchScrapbook.h"
#include "platform/DesktopIcons.h"

// Qt
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace glimmora;

// Prints the time at the first turn of the event loop after `shown` is visible: the window is
// drawn and the program waits for the user.
void reportWhenUsable(const QElapsedTimer& clock, const QWidget& shown)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [&clock, &shown, poll] {
        if (!shown.isVisible())
            return;
        std::printf("%.1f\n", double(clock.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        poll->stop();
        if (QWidget* chooser = QApplication::activeModalWidget())
            chooser->close();
        QApplication::exit(0);
    });
    poll->start(0);
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "build") == 0) {
        QApplication app(argc, argv);
        buildBenchScrapbook(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/Default"),
                            argc > 3 ? std::atoi(argv[3]) : 60000, "bench_startup");
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "bare") == 0) {
        QApplication app(argc, argv);
        QMainWindow window;
        window.show();
        reportWhenUsable(clock, window);
        return QApplication::exec();
    }
    if (argc >= 3 && std::strcmp(argv[1], "glimmora") == 0) {
        qputenv("GLIMMORA_DATA_DIR", argv[2]);
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Glimmora"));
        installIconFallbacks();
        TMainForm form;
        if (!form.Scrapbook) {
            std::fprintf(stderr, "bench_startup: %s\n", form.ScrapbookError.toLocal8Bit().constData());
            return 1;
        }
        // Start-up ends in the category chooser's own loop; the poll runs there.
        reportWhenUsable(clock, form);
        form.FormCreate();
        return 0;
    }
    std::fprintf(stderr, "usage: bench_startup build DIR [IMAGES] | glimmora DIR | bare\n");
    return 2;
}
