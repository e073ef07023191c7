#pragma once

#include "catalog/ThumbnailSource.h"

// Qt
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace glimmora {

struct DecoderSettings {
    QString program;                            // the decoder helper; empty: glimmora-decoder beside the program
    int workers = 0;                            // 0: one per core, as memory allows; below 0: none (in-process)
    std::chrono::milliseconds hangLimit{30000}; // a file that takes longer costs its worker
    int aheadLimit = 32;                        // at most this many files queued or decoded and waiting
    bool embeddedThumbnails = true;             // as the in-process loader's (TLoadPictureModule)
};

// How many decoder processes an import runs by default: one per core, but no more than the
// available memory holds at the most each may use (picturelimits::kDecoderProcessBytes), and
// always one.
int decoderCountFor(int cores, qint64 availableBytes);

// A pool of decoder processes (the glimmora-decoder helper) that make thumbnails of picture
// files ahead of the adding loop. Paths are queued in the order they will be needed and their
// results taken in that order. A worker that crashes or takes longer than the hang limit costs
// only the file it was on: that file gets a load error saying so, the worker is replaced and the
// files queued behind it go to its successor. When no helper can be started the pool is not
// running and callers decode in-process.
class TDecodePool {
public:
    explicit TDecodePool(DecoderSettings settings);
    // Ends every worker.
    ~TDecodePool();
    TDecodePool(const TDecodePool&) = delete;
    TDecodePool& operator=(const TDecodePool&) = delete;

    bool running() const { return !workers_.empty(); }
    // Files queued or decoded and not yet taken.
    int waiting() const { return int(jobs_.size()); }
    bool hasRoom() const { return waiting() < settings_.aheadLimit; }

    // Queues a file (its path as FindOrAddImage will ask for it).
    void submit(const QString& path);
    bool submitted(const QString& path) const;
    // The thumbnail of a queued file, waiting for it when needed (letting `pendingEvents` run
    // meanwhile); the file leaves the queue. Nothing when the file was not queued.
    std::optional<ThumbnailResult> take(const QString& path, const std::function<void()>& pendingEvents = {});
    // Forgets a queued file whose result is no longer wanted.
    void discard(const QString& path);

    // Where glimmora-decoder is looked for when the settings name none.
    static QString defaultProgram();

private:
    struct Worker;
    struct Job;

    void startWorkers(int count);
    bool spawn(Worker& worker);
    void awaitReady(const std::vector<Worker*>& started);
    void stop(Worker& worker);
    int reap(Worker& worker);
    void prune();
    void receive(Worker& worker);
    void accept(Worker& worker, const QByteArray& payload);
    void replace(Worker& worker, const QString& reason);
    void checkHangs();
    void dispatch();
    bool waitFor(Job& job, const std::function<void()>& pendingEvents);
    Worker* leastBusyWorker();

    DecoderSettings settings_;
    QTemporaryDir temporaryDirectory_; // removed after the workers, which the destructor ends first
    std::vector<std::unique_ptr<Worker>> workers_;
    std::deque<std::shared_ptr<Job>> jobs_; // in submission order
};

// The thumbnail source of an import: answers from the pool for the files it decoded, and loads
// the others (and those whose disk the pool found absent, so that the load explains it as
// usual) with the in-process loader.
class PooledThumbnails : public ThumbnailSource {
public:
    PooledThumbnails(TDecodePool& pool, ThumbnailSource& inProcess) : pool_(pool), inProcess_(inProcess) {}

    ThumbnailResult loadThumbnail(const QString& path, const TImageElement& record) override;

    std::function<void()> pendingEvents;

private:
    TDecodePool& pool_;
    ThumbnailSource& inProcess_;
};

} // namespace glimmora
