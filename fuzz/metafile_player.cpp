// Plays arbitrary bytes as a Windows Metafile or an Enhanced Metafile: the header decides which
// reader runs, so one target covers both.
#include "picturecontrol/MetafilePlayer.h"

// Qt
#include <QGuiApplication>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Text drawing needs the font database of a GUI application.
void ensureApplication()
{
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "fuzz_metafile_player";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

} // namespace

// fontconfig keeps its configuration for the life of the process, which LeakSanitizer reports.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    try {
        const glimmora::MetafilePlayer player(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        player.render(QSize(60, 60));
        // A second, larger size exercises the mapping differently while keeping memory small.
        player.render(player.naturalSize().boundedTo(QSize(300, 300)));
    } catch (const glimmora::EMetafileError&) {
    }
    return 0;
}
