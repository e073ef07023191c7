// A decoder helper for the tests of the decoder pool: glimmora-decoder, except that it crashes
// on files named "*crash-me*", hangs on files named "*hang-me*" and finds the disk of files
// named "*absent-disk*" missing.

#include "import/DecoderProtocol.h"

// Qt
#include <QGuiApplication>

#include <csignal>
#include <unistd.h>

namespace {

glimmora::ThumbnailResult decodeOrFail(const QString& path)
{
    if (path.contains(QLatin1String("crash-me")))
        std::raise(SIGSEGV);
    if (path.contains(QLatin1String("hang-me")))
        for (;;)
            ::pause();
    if (path.contains(QLatin1String("absent-disk")))
        return {glimmora::kLoadGivenUp, QImage(), QStringLiteral("the disk is not in its drive")};
    return glimmora::decoder_protocol::decodeThumbnail(path);
}

} // namespace

int main(int argc, char** argv)
{
    const int replies = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return glimmora::decoder_protocol::serve(STDIN_FILENO, replies, decodeOrFail);
}
