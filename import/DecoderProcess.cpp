#include "import/DecoderProcess.h"

#include "import/DecoderProtocol.h"
#include "picturecontrol/PictureLimits.h"

// Qt
#include <QGuiApplication>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace glimmora::decoder_process {

namespace {

// The kernel kills this process when its parent ends. Asked for after the parent may already
// have ended, so the parent's id is checked too: once it is gone, this process was adopted.
void endWithParent()
{
    const char* parent = std::getenv(kParentVariable);
    if (!parent)
        return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != pid_t(std::atol(parent)))
        std::_Exit(0);
}

// A decode that asks for more is refused its memory (it fails, or the process ends) instead of
// pushing the machine into swap; the import's other processes share what is left.
void limitMemory()
{
    const rlim_t limit = rlim_t(picturelimits::kDecoderProcessBytes);
    rlimit current{};
    if (::getrlimit(RLIMIT_DATA, &current) == 0 && current.rlim_cur > limit) {
        const rlimit lowered{limit, std::min(current.rlim_max, limit)};
        ::setrlimit(RLIMIT_DATA, &lowered);
    }
}

void silenceStandardOutputs()
{
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0)
        return;
    ::dup2(nowhere, STDOUT_FILENO);
    ::dup2(nowhere, STDERR_FILENO);
    ::close(nowhere);
}

unsigned timeLimitSeconds()
{
    const char* limit = std::getenv(kTimeLimitVariable);
    return limit ? unsigned(std::max(0L, std::atol(limit))) : 0;
}

} // namespace

bool embeddedThumbnailsAllowed()
{
    const char* allowed = std::getenv(kEmbeddedThumbnailsVariable);
    return !allowed || std::strcmp(allowed, "0") != 0;
}

std::chrono::seconds timeLimitFor(std::chrono::milliseconds hangLimit)
{
    return std::max(std::chrono::seconds(1), std::chrono::ceil<std::chrono::seconds>(hangLimit * 2));
}

int runDecoderProcess(int argc, char** argv, const std::function<ThumbnailResult(const QString&)>& decode)
{
    endWithParent();
    limitMemory();
    // Libraries may print to standard output; the replies get a descriptor of their own. What
    // the decoding libraries print ("libpng warning: ...") would land on the user's terminal:
    // nobody reads it there, and every failure reaches the import's error list as a reply.
    const int replies = ::dup(STDOUT_FILENO);
    silenceStandardOutputs();
    std::signal(SIGPIPE, SIG_IGN);
    // Metafiles draw text, which needs the font database of a GUI application; nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    // SIGALRM's default action ends the process: a file it is stuck on costs it its life.
    const unsigned seconds = timeLimitSeconds();
    return decoder_protocol::serve(STDIN_FILENO, replies, [&decode, seconds](const QString& path) {
        ::alarm(seconds);
        ThumbnailResult result = decode(path);
        ::alarm(0);
        return result;
    });
}

} // namespace glimmora::decoder_process
