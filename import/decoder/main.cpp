// The decoder helper of an import: reads picture paths from its standard input and answers each
// with the file's thumbnail (import/DecoderProtocol.h). One runs per core while an import adds
// files, so that a decoder that crashes or hangs on a picture costs only that picture.

#include "import/DecoderProtocol.h"

// Qt
#include <QGuiApplication>

#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    // Libraries may print to standard output; the replies get a descriptor of their own.
    const int replies = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    std::signal(SIGPIPE, SIG_IGN);
    // Metafiles draw text, which needs the font database of a GUI application; nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return glimmora::decoder_protocol::serve(STDIN_FILENO, replies, glimmora::decoder_protocol::decodeThumbnail);
}
