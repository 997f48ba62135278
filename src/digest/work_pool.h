// Worker threads for the digests. A run makes one pool and never destroys it: when the run
// ends (std::exit) its workers may still be in the middle of a read, so nothing they touch
// (the pool, the platform layer, the jobs' own state) may be destroyed before the process is
// gone. A pool destroyed earlier (a test's) first waits for the jobs already started.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkPool {
 public:
  // Starts `workers` threads (at least one).
  explicit WorkPool(int workers);
  // Drops the jobs not yet started, waits for those that are, and joins the workers.
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  int size() const { return static_cast<int>(threads_.size()); }
  // Runs `job` on a worker, jobs in the order they were submitted.
  void submit(std::function<void()> job);
  // Runs `job` before every job waiting: work that holds memory and other threads until done.
  void submit_first(std::function<void()> job);

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The processor count, as the default number of workers; at least 1.
int processor_count();
