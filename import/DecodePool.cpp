#include "import/DecodePool.h"

#include "import/DecoderProcess.h"
#include "import/DecoderProtocol.h"
#include "picturecontrol/PictureLimits.h"
#include "platform/Paths.h"
#include "platform/SystemMemory.h"

// Qt
#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace glimmora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kQueueDepth = 4;                   // requests a worker holds at once
constexpr std::chrono::milliseconds kStartLimit{15000};  // to load its libraries and say it is ready
constexpr std::chrono::milliseconds kEventInterval{100}; // how often pending events run while waiting

// The decoder's environment: the caller's, with one thread per process (the pool already has a
// process per core) and no display; the pool's process id, for the decoder to end with it; its
// time limit for one file; whether it may take stored thumbnails; and a temporary directory of the
// pool's own for what decoders spill to disk (ImageMagick's pixel cache of a large picture), which
// goes when the pool does.
std::vector<std::string> decoderEnvironment(const DecoderSettings& settings, const QString& temporaryDirectory)
{
    using namespace decoder_process;
    std::vector<std::string> own{
        "QT_QPA_PLATFORM=offscreen",
        "MAGICK_THREAD_LIMIT=1",
        "OMP_NUM_THREADS=1",
        std::string(kParentVariable) + '=' + std::to_string(::getpid()),
        std::string(kTimeLimitVariable) + '=' + std::to_string(timeLimitFor(settings.hangLimit).count()),
        std::string(kEmbeddedThumbnailsVariable) + '=' + (settings.embeddedThumbnails ? '1' : '0'),
    };
    if (!temporaryDirectory.isEmpty()) {
        const std::string directory = QFile::encodeName(temporaryDirectory).toStdString();
        own.push_back("TMPDIR=" + directory);
        own.push_back("MAGICK_TEMPORARY_PATH=" + directory);
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        const bool overridden = std::any_of(own.begin(), own.end(), [&variable](const std::string& mine) {
            return variable.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
        });
        if (!overridden)
            environment.push_back(variable);
    }
    environment.insert(environment.end(), own.begin(), own.end());
    return environment;
}

QString endingOf(int status)
{
    if (WIFSIGNALED(status))
        return QStringLiteral("signal %1, %2")
            .arg(WTERMSIG(status))
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    if (WIFEXITED(status))
        return QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
    return QStringLiteral("status %1").arg(status);
}

ThumbnailResult failure(const QString& text)
{
    ThumbnailResult result;
    result.code = kLoadFailed;
    result.errorText = text;
    return result;
}

} // namespace

int decoderCountFor(int cores, qint64 availableBytes)
{
    const qint64 fitting = availableBytes / picturelimits::kDecoderProcessBytes;
    return int(std::clamp<qint64>(fitting, 1, std::max(cores, 1)));
}

struct TDecodePool::Job {
    QString path;
    Worker* worker = nullptr; // the worker decoding it; none while it waits for one
    std::optional<ThumbnailResult> result;
    bool discarded = false;
};

struct TDecodePool::Worker {
    pid_t pid = -1;
    int socket = -1;
    bool ready = false;
    QByteArray received;
    std::deque<std::shared_ptr<Job>> queue; // requests sent and not answered, in order
    Clock::time_point busySince;            // when the worker began on the first of them

    bool alive() const { return pid > 0; }
};

TDecodePool::TDecodePool(DecoderSettings settings)
    : settings_(std::move(settings)),
      temporaryDirectory_(QDir::tempPath() + QStringLiteral("/glimmora-decoders-XXXXXX"))
{
    if (settings_.workers < 0)
        return;
    if (settings_.program.isEmpty())
        settings_.program = defaultProgram();
    settings_.aheadLimit = std::max(settings_.aheadLimit, 1);
    startWorkers(settings_.workers > 0 ? settings_.workers
                                       : decoderCountFor(QThread::idealThreadCount(), availableMemoryBytes()));
}

TDecodePool::~TDecodePool()
{
    for (const auto& worker : workers_)
        stop(*worker);
}

QString TDecodePool::defaultProgram() { return helperProgram(QStringLiteral("glimmora-decoder")); }

void TDecodePool::startWorkers(int count)
{
    std::vector<Worker*> started;
    for (int i = 0; i < count; ++i) {
        auto worker = std::make_unique<Worker>();
        if (spawn(*worker)) {
            started.push_back(worker.get());
            workers_.push_back(std::move(worker));
        }
    }
    awaitReady(started);
    prune();
}

bool TDecodePool::spawn(Worker& worker)
{
    const QByteArray program = QFile::encodeName(settings_.program);
    if (::access(program.constData(), X_OK) != 0)
        return false;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::vector<std::string> environment =
        decoderEnvironment(settings_, temporaryDirectory_.isValid() ? temporaryDirectory_.path() : QString());
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.constData()), nullptr};
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (error != 0) {
        ::close(ends[0]);
        return false;
    }
    worker.pid = pid;
    worker.socket = ends[0];
    worker.ready = false;
    worker.received.clear();
    return true;
}

void TDecodePool::awaitReady(const std::vector<Worker*>& started)
{
    const Clock::time_point deadline = Clock::now() + kStartLimit;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Worker*> polled;
        for (Worker* worker : started)
            if (worker->alive() && !worker->ready) {
                fds.push_back({worker->socket, POLLIN, 0});
                polled.push_back(worker);
            }
        if (fds.empty() || Clock::now() >= deadline)
            break;
        ::poll(fds.data(), fds.size(), int(kEventInterval.count()));
        for (std::size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents)
                receive(*polled[i]);
    }
    for (Worker* worker : started)
        if (!worker->ready)
            stop(*worker); // never became ready: a helper that cannot run here
}

void TDecodePool::stop(Worker& worker)
{
    if (worker.socket >= 0)
        ::close(worker.socket);
    worker.socket = -1;
    if (worker.pid > 0) {
        ::kill(worker.pid, SIGKILL);
        ::waitpid(worker.pid, nullptr, 0);
    }
    worker.pid = -1;
}

int TDecodePool::reap(Worker& worker)
{
    // The socket closed; the process is ending and is given a moment to do so.
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(worker.pid, &status, WNOHANG) == worker.pid) {
            worker.pid = -1;
            return status;
        }
        ::usleep(10000);
    }
    ::kill(worker.pid, SIGKILL);
    ::waitpid(worker.pid, &status, 0);
    worker.pid = -1;
    return status;
}

void TDecodePool::prune()
{
    workers_.erase(
        std::remove_if(workers_.begin(), workers_.end(), [](const auto& worker) { return !worker->alive(); }),
        workers_.end());
}

void TDecodePool::receive(Worker& worker)
{
    char chunk[65536];
    bool ended = false;
    for (;;) {
        const ssize_t got = ::recv(worker.socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            worker.received.append(chunk, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        ended = !(got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
    }
    // The answers that came before an end are the files it finished.
    try {
        while (std::optional<QByteArray> payload = decoder_protocol::takeFrame(worker.received))
            accept(worker, *payload);
    } catch (const std::runtime_error&) {
        stop(worker);
        replace(worker, QStringLiteral("The picture decoder gave an answer for this file that could not be read."));
        return;
    }
    if (!ended)
        return;
    // The worker is gone: the file it was on cost it its life.
    ::close(worker.socket);
    worker.socket = -1;
    const int status = reap(worker);
    replace(worker, QStringLiteral("The picture decoder stopped on this file (%1).").arg(endingOf(status)));
}

void TDecodePool::accept(Worker& worker, const QByteArray& payload)
{
    const std::optional<ThumbnailResult> reply = decoder_protocol::decodeReply(payload);
    if (!reply || (!worker.ready && reply->code != decoder_protocol::kReadyCode)
        || (worker.ready && worker.queue.empty()))
        throw std::runtime_error("unexpected reply");
    if (!worker.ready) {
        worker.ready = true;
        return;
    }
    const std::shared_ptr<Job> job = worker.queue.front();
    worker.queue.pop_front();
    job->worker = nullptr;
    if (!job->discarded)
        job->result = *reply;
    worker.busySince = Clock::now();
}

void TDecodePool::replace(Worker& worker, const QString& reason)
{
    if (!worker.ready) {
        stop(worker); // it never started properly; awaitReady gives up on it
        return;
    }
    std::deque<std::shared_ptr<Job>> orphans = std::move(worker.queue);
    worker.queue.clear();
    if (!orphans.empty()) {
        orphans.front()->worker = nullptr;
        orphans.front()->result = failure(reason);
        orphans.pop_front();
    }
    for (const auto& job : orphans)
        job->worker = nullptr; // the files behind it go to the next worker free
    stop(worker);
    if (spawn(worker))
        awaitReady({&worker});
}

TDecodePool::Worker* TDecodePool::leastBusyWorker()
{
    Worker* chosen = nullptr;
    for (const auto& worker : workers_)
        if (worker->alive() && worker->ready && worker->queue.size() < kQueueDepth
            && (!chosen || worker->queue.size() < chosen->queue.size()))
            chosen = worker.get();
    return chosen;
}

void TDecodePool::dispatch()
{
    prune();
    for (const auto& job : jobs_) {
        if (job->worker || job->result)
            continue;
        Worker* worker = leastBusyWorker();
        if (!worker)
            return;
        const QByteArray request = decoder_protocol::frame(decoder_protocol::encodeRequest(job->path));
        if (worker->queue.empty())
            worker->busySince = Clock::now();
        worker->queue.push_back(job);
        job->worker = worker;
        qsizetype sent = 0;
        while (sent < request.size()) {
            const ssize_t done =
                ::send(worker->socket, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                break; // a worker that is gone: the next receive finds out and replaces it
            sent += done;
        }
    }
}

void TDecodePool::submit(const QString& path)
{
    auto job = std::make_shared<Job>();
    job->path = path;
    jobs_.push_back(job);
    dispatch();
}

bool TDecodePool::submitted(const QString& path) const
{
    return std::any_of(jobs_.begin(), jobs_.end(), [&path](const auto& job) { return job->path == path; });
}

void TDecodePool::checkHangs()
{
    const auto overdue = [this](const Worker& worker) {
        return worker.alive() && !worker.queue.empty() && Clock::now() - worker.busySince > settings_.hangLimit;
    };
    for (const auto& worker : workers_) {
        if (!overdue(*worker))
            continue;
        receive(*worker); // an answer that came in just now is not a hang
        if (overdue(*worker))
            replace(*worker, QStringLiteral("The picture decoder took longer than %1 seconds on this file and "
                                            "was stopped.")
                                 .arg(double(settings_.hangLimit.count()) / 1000.0));
    }
}

bool TDecodePool::waitFor(Job& job, const std::function<void()>& pendingEvents)
{
    Clock::time_point eventsRan = Clock::now();
    while (!job.result) {
        dispatch();
        if (!job.worker)
            return false; // no worker left to decode it
        std::vector<pollfd> fds;
        std::vector<Worker*> polled;
        for (const auto& worker : workers_)
            if (worker->alive()) {
                fds.push_back({worker->socket, POLLIN, 0});
                polled.push_back(worker.get());
            }
        ::poll(fds.data(), fds.size(), int(kEventInterval.count()));
        for (std::size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents && polled[i]->alive())
                receive(*polled[i]);
        checkHangs();
        if (pendingEvents && Clock::now() - eventsRan >= kEventInterval) {
            pendingEvents();
            eventsRan = Clock::now();
        }
    }
    return true;
}

std::optional<ThumbnailResult> TDecodePool::take(const QString& path, const std::function<void()>& pendingEvents)
{
    const auto found = std::find_if(jobs_.begin(), jobs_.end(), [&path](const auto& job) { return job->path == path; });
    if (found == jobs_.end())
        return std::nullopt;
    const std::shared_ptr<Job> job = *found;
    const bool decoded = waitFor(*job, pendingEvents);
    jobs_.erase(std::find(jobs_.begin(), jobs_.end(), job));
    dispatch();
    if (!decoded)
        return std::nullopt;
    return job->result;
}

void TDecodePool::discard(const QString& path)
{
    const auto found = std::find_if(jobs_.begin(), jobs_.end(), [&path](const auto& job) { return job->path == path; });
    if (found == jobs_.end())
        return;
    (*found)->discarded = true; // a worker on it still answers, and the answer is dropped
    jobs_.erase(found);
}

ThumbnailResult PooledThumbnails::loadThumbnail(const QString& path, const TImageElement& record)
{
    const std::optional<ThumbnailResult> decoded = pool_.take(path, pendingEvents);
    // A disk the decoder found absent is left to the usual load, which explains it.
    if (!decoded || decoded->code == kLoadGivenUp || decoded->code == kLoadRetry)
        return inProcess_.loadThumbnail(path, record);
    return *decoded;
}

} // namespace glimmora
