#pragma once

#include "Env.h"
#include "FileError.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace eit {

// Names finished output files on a second thread, in the order they were
// queued, so that naming one file overlaps with copying the next. The first
// failure is kept for Check(); files queued after a failure are discarded,
// not named.
class BackgroundCommitter {
public:
    BackgroundCommitter() : FWorker([this] { Run(); }) {}
    ~BackgroundCommitter() { Stop(); }
    BackgroundCommitter(const BackgroundCommitter&) = delete;
    BackgroundCommitter& operator=(const BackgroundCommitter&) = delete;

    void Push(AtomicFile file)
    {
        std::unique_lock lock(FMutex);
        FSpace.wait(lock, [this] { return FQueue.size() < kMaxQueued; });
        FQueue.push_back(std::move(file));
        FReady.notify_one();
    }

    // Throws the first commit failure, if there was one.
    void Check()
    {
        std::lock_guard lock(FMutex);
        if (FError)
            throw *FError;
    }

    // Waits until every queued file has its name, then reports as Check().
    void Finish()
    {
        Stop();
        Check();
    }

private:
    static constexpr std::size_t kMaxQueued = 16;

    void Stop()
    {
        {
            std::lock_guard lock(FMutex);
            FDone = true;
        }
        FReady.notify_one();
        if (FWorker.joinable())
            FWorker.join();
    }

    void Run()
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            FReady.wait(lock, [this] { return FDone || !FQueue.empty(); });
            if (FQueue.empty())
                return;
            std::optional<AtomicFile> file(std::move(FQueue.front()));
            FQueue.pop_front();
            FSpace.notify_one();
            const bool failed = FError.has_value();
            lock.unlock();
            std::optional<FileError> error;
            if (!failed) {
                try {
                    file->Commit();
                } catch (const FileError& e) {
                    error = e;
                }
            }
            file.reset(); // an uncommitted file is removed here
            lock.lock();
            if (error && !FError)
                FError = std::move(error);
        }
    }

    std::mutex FMutex;
    std::condition_variable FReady;
    std::condition_variable FSpace;
    std::deque<AtomicFile> FQueue;
    std::optional<FileError> FError;
    bool FDone = false;
    std::thread FWorker; // last: it starts once everything above exists
};

} // namespace eit
