// The thread that prepares texture contents in the background: jobs run in
// the order queued, a job taken back before it started never runs, one taken
// back while running is returned only once it has ended, a job that throws
// leaves the thread serving the next, and the worker's end waits for the job
// that is running.
#include <gtest/gtest.h>

#include "d3d9/d3d9_contents.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Opened once; waiting at a gate that stays shut fails the wait after a
// generous bound instead of hanging the test.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(30), [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

struct Log {
    std::mutex mutex;
    std::vector<int> ids;
    std::vector<int> Read() {
        std::lock_guard<std::mutex> lock(mutex);
        return ids;
    }
};

// Logs its id when its Prepare ends; may first announce that it started and
// wait at a gate, and may throw.
class Probe final : public winapi::ContentsProducer {
public:
    Probe(int id, Log* log, Gate* started = nullptr, Gate* proceed = nullptr, bool throws = false)
        : m_id(id), m_log(log), m_started(started), m_proceed(proceed), m_throws(throws) {}
    void Prepare() override {
        if (m_started) m_started->Open();
        if (m_proceed) m_proceed->Wait();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a Take that does not wait sees no entry
        {
            std::lock_guard<std::mutex> lock(m_log->mutex);
            m_log->ids.push_back(m_id);
        }
        if (m_throws) throw std::runtime_error("prepare failed");
    }
    HRESULT Produce(IDirect3DTexture9*) override { return S_OK; }

private:
    int m_id;
    Log* m_log;
    Gate *m_started, *m_proceed;
    bool m_throws;
};

std::shared_ptr<d3d9::ContentsJob> Job(winapi::ContentsProducer* producer) {
    return std::make_shared<d3d9::ContentsJob>(std::unique_ptr<winapi::ContentsProducer>(producer));
}

TEST(ContentsWorker, TakesJobsBackAtAnyPointAndOutlivesAFailedJob) {
    Log log;
    Gate startedA, proceedA, startedE, proceedE;
    std::unique_ptr<d3d9::ContentsWorker> worker(new d3d9::ContentsWorker());
    auto a = Job(new Probe(1, &log, &startedA, &proceedA));
    auto b = Job(new Probe(2, &log));
    auto c = Job(new Probe(3, &log, nullptr, nullptr, true));
    auto d = Job(new Probe(4, &log));
    for (auto* job : {&a, &b, &c, &d}) ASSERT_TRUE(worker->Queue(*job));
    ASSERT_TRUE(startedA.Wait());
    EXPECT_EQ(worker->Pending(), 4u);

    worker->Take(b.get());  // still queued: out, never prepared
    EXPECT_EQ(b->state, d3d9::ContentsJob::kDone);
    EXPECT_EQ(worker->Pending(), 3u);

    proceedA.Open();
    worker->Take(a.get());  // running: back only once its Prepare has ended
    EXPECT_EQ(log.Read(), std::vector<int>({1}));

    for (int i = 0; i < 3000 && worker->Pending() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(worker->Pending(), 0u);
    EXPECT_EQ(log.Read(), std::vector<int>({1, 3, 4}));  // 3 threw; 4 still ran
    worker->Take(d.get());                               // already done: returns at once

    // The worker's end while a job runs waits for that job.
    auto e = Job(new Probe(5, &log, &startedE, &proceedE));
    ASSERT_TRUE(worker->Queue(e));
    ASSERT_TRUE(startedE.Wait());
    std::thread opener([&] { proceedE.Open(); });
    worker.reset();
    opener.join();
    EXPECT_EQ(log.Read(), std::vector<int>({1, 3, 4, 5}));
}

}  // namespace
