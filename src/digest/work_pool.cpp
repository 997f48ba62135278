#include "digest/work_pool.h"

#include <thread>
#include <utility>

WorkPool::WorkPool(int workers) {
  if (workers < 1) workers = 1;
  threads_.reserve(static_cast<std::size_t>(workers));
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < workers; ++i) {
    ThreadHandle thread = os().start_thread([this] { work(); });
    // The system's limit (memory, address space) is reached: the rest would fail alike.
    if (thread == nullptr) break;
    threads_.push_back(thread);
    ++working_;
  }
}

WorkPool::~WorkPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (ThreadHandle thread : threads_) os().join_thread(thread);
}

void WorkPool::submit(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void WorkPool::submit_first(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    jobs_.push_front(std::move(job));
  }
  wake_.notify_one();
}

void WorkPool::come_to_rest(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  stopping_ = true;
  jobs_.clear();
  wake_.notify_all();
  if (!left_.wait_for(lock, limit, [this] { return working_ == 0; })) return;
  lock.unlock();
  // Every worker has left its loop: joining waits only for the threads' own ending.
  for (ThreadHandle thread : threads_) os().join_thread(thread);
  threads_.clear();
}

bool WorkPool::stopping() const {
  return stopping_;
}

void WorkPool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) break;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    // Let go here, outside the lock: a job's state may hold what the pool's waiters wait for.
    job = nullptr;
    lock.lock();
  }
  --working_;
  left_.notify_all();
}

int processor_count() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}
