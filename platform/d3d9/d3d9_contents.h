// Texture contents prepared on a background thread. A contents producer's
// Prepare (for a loaded image: the scaling and the mip chain) needs no
// device, so on a device that draws it runs here while the game goes on;
// the rest of the producer's work (writing the levels, which reaches GL)
// runs on the device's thread at the texture's first use, once the texture
// has taken its job back (d3d9_resources.cpp).
//
// State: one thread, started with the first job; the jobs not yet started,
// in the order they came; each job's state. One mutex guards the queue and
// the state of every queued job.
// Lifetime: owned by the device. Its destructor waits for the job that is
// running, if any, and drops the others (their textures are gone by then:
// textures keep the device alive).
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "common/deferred_contents.h"

namespace d3d9 {

struct ContentsJob {
    explicit ContentsJob(std::unique_ptr<winapi::ContentsProducer> p) : producer(std::move(p)) {}
    std::unique_ptr<winapi::ContentsProducer> producer;
    enum State { kWaiting, kRunning, kDone };
    State state = kWaiting;  // under the worker's mutex while it has the job
};

class ContentsWorker {
public:
    ContentsWorker() = default;
    ContentsWorker(const ContentsWorker&) = delete;
    ContentsWorker& operator=(const ContentsWorker&) = delete;
    ~ContentsWorker();

    // Queues the job's Prepare; false, with nothing queued, when no thread
    // can be had.
    bool Queue(const std::shared_ptr<ContentsJob>& job);
    // Takes the job back: out of the queue if it has not started, once it
    // has ended if it is running. Afterwards only the caller touches it.
    void Take(ContentsJob* job);
    // Jobs queued or running (a test hook).
    size_t Pending();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<ContentsJob>> m_queue;
    size_t m_running = 0;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace d3d9
