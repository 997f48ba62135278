#include "output/ordered_records.h"

#include <utility>

#include "output/file_record.h"
#include "output/stream_record.h"

namespace {

// The workers also share the kinds of a large file among themselves.
DigestRequest shared_request(WorkPool& workers) {
  DigestRequest request = file_digest_request();
  request.helpers = &workers;
  return request;
}

}  // namespace

OrderedRecordWriters::OrderedRecordWriters(WorkPool& workers, std::size_t window)
    : workers_(workers),
      request_(shared_request(workers)),
      capacity_(window == 0 ? 1 : window),
      ring_(new Item[capacity_]) {}

OrderedRecordWriters::~OrderedRecordWriters() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_out_ == 0; });
}

void OrderedRecordWriters::file(const Directory& dir, const DirEntry& entry) {
  // The filters read only the entry and the settings, so they may run ahead; a file they
  // reject takes no place in the window.
  if (!file_record_wanted(dir, entry)) return;
  Item& item = next_slot();
  item.step = nullptr;
  item.dir = dir;
  item.entry = entry;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++jobs_out_;
  }
  item.state.store(Item::kWaiting, std::memory_order_release);
  workers_.submit([this, &item] { take(item); });
  run_ready();
}

// The walk calls this only from a step, which already runs in its turn.
void OrderedRecordWriters::directory_streams(const Directory& parent, const std::string& name,
                                             const std::string& path, int n) {
  list_directory_streams(n, parent, name, path);
}

void OrderedRecordWriters::in_walk_order(std::function<void()> step) {
  if (count_ == 0) {
    step();  // nothing waits before it
    return;
  }
  Item& item = next_slot();
  item.step = std::move(step);
  item.state.store(Item::kDone, std::memory_order_relaxed);
  run_ready();
}

void OrderedRecordWriters::finish() {
  while (count_ != 0) run_front();
}

OrderedRecordWriters::Item& OrderedRecordWriters::next_slot() {
  while (count_ == capacity_) run_front();
  Item& item = ring_[(head_ + count_) % capacity_];
  ++count_;
  return item;
}

bool OrderedRecordWriters::front_ready() const {
  return ring_[head_].state.load(std::memory_order_acquire) == Item::kDone;
}

void OrderedRecordWriters::run_ready() {
  while (count_ != 0 && front_ready()) run_front();
}

// The oldest item: a file whose digest no worker has started is digested here rather than
// waited for.
void OrderedRecordWriters::run_front() {
  Item& item = ring_[head_];
  head_ = (head_ + 1) % capacity_;
  --count_;
  if (item.step) {
    std::function<void()> step = std::move(item.step);
    item.step = nullptr;
    item.state.store(Item::kFree, std::memory_order_relaxed);
    step();
    return;
  }
  int waiting = Item::kWaiting;
  if (item.state.compare_exchange_strong(waiting, Item::kTaken, std::memory_order_acquire)) {
    item.digest = digest_file(item.dir, item.entry, request_);
  } else {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&item] { return item.state.load() == Item::kDone; });
  }
  item.state.store(Item::kFree, std::memory_order_relaxed);
  write_digested_record(item.dir, item.entry, item.digest);
}

void OrderedRecordWriters::take(Item& item) {
  int waiting = Item::kWaiting;
  bool mine = item.state.compare_exchange_strong(waiting, Item::kTaken, std::memory_order_acquire);
  if (mine) item.digest = digest_file(item.dir, item.entry, request_);
  // Notified under the lock: once the count is down the writers may be destroyed.
  std::lock_guard<std::mutex> lock(mutex_);
  if (mine) item.state.store(Item::kDone, std::memory_order_release);
  --jobs_out_;
  changed_.notify_all();
}
