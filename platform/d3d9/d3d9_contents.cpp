// The background thread that prepares texture contents (see d3d9_contents.h).
#include "d3d9_contents.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <system_error>

namespace d3d9 {

ContentsWorker::~ContentsWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool ContentsWorker::Queue(const std::shared_ptr<ContentsJob>& job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread(&ContentsWorker::Run, this);
        } catch (const std::system_error&) {
            return false;
        }
    }
    job->state = ContentsJob::kWaiting;
    m_queue.push_back(job);
    m_changed.notify_all();
    return true;
}

void ContentsWorker::Take(ContentsJob* job) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (job->state == ContentsJob::kWaiting) {
        auto it = std::find_if(m_queue.begin(), m_queue.end(),
                               [job](const std::shared_ptr<ContentsJob>& queued) { return queued.get() == job; });
        if (it != m_queue.end()) m_queue.erase(it);
        job->state = ContentsJob::kDone;
        return;
    }
    m_changed.wait(lock, [job] { return job->state == ContentsJob::kDone; });
}

size_t ContentsWorker::Pending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size() + m_running;
}

void ContentsWorker::Run() {
    // Only what the game's own threads leave idle: preparing early must not
    // slow the frames being drawn meanwhile. (A thread that waits for a job
    // running here sleeps, and so leaves it the time.)
    sched_param idle = {};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        std::shared_ptr<ContentsJob> job = std::move(m_queue.front());
        m_queue.pop_front();
        job->state = ContentsJob::kRunning;
        ++m_running;
        lock.unlock();
        // A Prepare that fails leaves its producer to do the work (or report
        // the failure) in Produce; nothing may leave this thread.
        try {
            job->producer->Prepare();
        } catch (...) {
        }
        lock.lock();
        --m_running;
        job->state = ContentsJob::kDone;
        m_changed.notify_all();
    }
}

}  // namespace d3d9
