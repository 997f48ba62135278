// Worker threads for the digests. A run makes one pool and never destroys it: it brings the
// workers to rest before the process ends (come_to_rest), but a worker held up by a read may
// still be in it then, so nothing the workers touch (the pool, the platform layer, the jobs'
// own state) may be destroyed before the process is gone. A pool destroyed earlier (a test's)
// first waits for the jobs already started.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/platform.h"

class WorkPool {
 public:
  // Starts up to `workers` threads (at least one is asked for). A thread the system cannot
  // start is no fault of the run: the pool works with those that did start.
  explicit WorkPool(int workers);
  // Drops the jobs not yet started, waits for those that are, and joins the workers.
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  // The workers that started; 0 when the system would start none.
  int size() const { return static_cast<int>(threads_.size()); }
  // Runs `job` on a worker, jobs in the order they were submitted.
  void submit(std::function<void()> job);
  // Runs `job` before every job waiting: work that holds memory and other threads until done.
  void submit_first(std::function<void()> job);

  // Drops the jobs not yet started, tells those running to give up (stopping()) and waits up
  // to `limit` for every worker to leave; the workers that left are joined. The process must
  // not end with a worker inside a system call: the system would end that thread wherever it
  // is, and an exit that then needs a lock the thread held never returns.
  void come_to_rest(std::chrono::milliseconds limit);
  // True once the pool comes to rest: a long job stops at its next piece of work.
  bool stopping() const;

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable left_;  // a worker left work()
  std::deque<std::function<void()>> jobs_;
  std::atomic<bool> stopping_{false};  // set under mutex_, read anywhere
  int working_ = 0;                    // workers not yet out of work()
  std::vector<ThreadHandle> threads_;
};

// The processor count, as the default number of workers; at least 1.
int processor_count();
