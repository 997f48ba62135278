#include "digest/work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/scripted_platform.h"

namespace {

// Lets a test wait until a number of jobs said they are done, or hold a job until released.
class Latch {
 public:
  void count_down() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    changed_.notify_all();
  }
  void wait_for(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_ >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int done_ = 0;
};

}  // namespace

TEST(WorkPool, EveryJobRunsExactlyOnceWhateverTheNumberOfWorkers) {
  for (int workers : {1, 2, 4}) {
    WorkPool pool(workers);
    EXPECT_EQ(pool.size(), workers);
    constexpr int kJobs = 2000;
    std::vector<std::atomic<int>> runs(kJobs);
    Latch all;
    for (int i = 0; i < kJobs; ++i) {
      auto job = [&runs, &all, i] {
        runs[static_cast<std::size_t>(i)] += 1;
        all.count_down();
      };
      if (i % 7 == 0) {
        pool.submit_first(job);
      } else {
        pool.submit(job);
      }
    }
    all.wait_for(kJobs);
    for (int i = 0; i < kJobs; ++i) EXPECT_EQ(runs[static_cast<std::size_t>(i)], 1) << i;
  }
  EXPECT_EQ(WorkPool(0).size(), 1);
  EXPECT_GE(processor_count(), 1);
}

TEST(WorkPool, OneWorkerRunsJobsInOrderAndAnUrgentJobBeforeThoseWaiting) {
  WorkPool pool(1);
  Latch gate;
  Latch finished;
  std::mutex mutex;
  std::vector<int> order;
  auto record = [&](int n) {
    return [&, n] {
      {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(n);
      }
      finished.count_down();
    };
  };
  pool.submit([&] { gate.wait_for(1); });  // holds the one worker while the rest queue up
  for (int n = 1; n <= 4; ++n) pool.submit(record(n));
  pool.submit_first(record(0));
  gate.count_down();
  finished.wait_for(5);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

// A job that opens the gate when the pool lets go of it without running it.
struct OpensGateWhenDropped {
  explicit OpensGateWhenDropped(Latch* gate) : gate(gate) {}
  ~OpensGateWhenDropped() { gate->count_down(); }
  Latch* gate;
};

TEST(WorkPool, DestroyingWaitsForTheJobStartedAndDropsTheRest) {
  std::atomic<int> ran{0};
  Latch started;
  Latch gate;
  {
    WorkPool pool(1);
    pool.submit([&] {
      started.count_down();
      gate.wait_for(1);  // opened only when the waiting job is dropped
      ran += 1;
    });
    auto token = std::make_shared<OpensGateWhenDropped>(&gate);
    pool.submit([token, &ran] { ran += 100; });
    token.reset();
    started.wait_for(1);
  }
  EXPECT_EQ(ran.load(), 1);
}

TEST(WorkPool, ThreadsTheSystemRefusesAreDoneWithoutAndEveryJobStillRuns) {
  for (int allowed : {0, 1, 3}) {
    ScriptedPlatform platform;
    platform.threads_allowed = allowed;
    WorkPool pool(8);
    EXPECT_EQ(pool.size(), allowed);
    if (allowed == 0) continue;  // the run then reads on its own thread, without the pool
    Latch all;
    for (int i = 0; i < 50; ++i) pool.submit([&all] { all.count_down(); });
    all.wait_for(50);
  }
}

TEST(WorkPool, ComingToRestStopsLongJobsDropsTheWaitingOnesAndWaitsNoLongerThanItsLimit) {
  std::atomic<int> ran{0};
  {
    WorkPool pool(2);
    Latch started;
    for (int i = 0; i < 2; ++i) {
      pool.submit([&] {
        started.count_down();
        while (!pool.stopping()) std::this_thread::yield();
      });
    }
    started.wait_for(2);
    pool.submit([&] { ran += 1; });  // waits: both workers are busy
    pool.come_to_rest(std::chrono::minutes(10));
    EXPECT_EQ(pool.size(), 0);  // both left and were joined
    pool.submit([&] { ran += 1; });
  }
  EXPECT_EQ(ran.load(), 0);

  // A job held up elsewhere (a read that does not return) keeps its worker: the rest ends at
  // its limit, and the pool's end still waits for it.
  Latch started;
  Latch gate;
  WorkPool pool(1);
  pool.submit([&] {
    started.count_down();
    gate.wait_for(1);
  });
  started.wait_for(1);
  pool.come_to_rest(std::chrono::milliseconds(20));
  EXPECT_EQ(pool.size(), 1);
  gate.count_down();
}
