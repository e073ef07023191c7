// A decoder helper for the tests of the decoder pool: glimmora-decoder, except that it crashes
// on files named "*crash-me*", hangs on files named "*hang-me*" and finds the disk of files
// named "*absent-disk*" missing.

#include "import/DecoderProcess.h"
#include "import/DecoderProtocol.h"

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

int main(int argc, char** argv) { return glimmora::decoder_process::runDecoderProcess(argc, argv, decodeOrFail); }
