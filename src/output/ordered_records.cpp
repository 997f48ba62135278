#include "output/ordered_records.h"

#include <chrono>
#include <utility>

#include "output/file_record.h"
#include "output/stream_record.h"
#include "run/output_stream.h"
#include "select/progress.h"

namespace {

// Files the walk hands on that are shown to the workers together: a lock taken and a worker
// woken for each file cost more than the reading of a small file. The records' thread shows
// them early when it must wait for one.
constexpr std::size_t kWakeBatch = 16;

// Files a thread takes at once, one after the other in walk order: each taking and each
// hand-over of a file between processors costs about as much as reading a small one.
constexpr std::size_t kRunLength = 32;

// A small file whose reading takes longer than this waited for the disk, not for a processor:
// more reads in flight then pay, however many processors there are. A cached one takes a few
// microseconds.
constexpr std::chrono::microseconds kSlowRead{50};

// Slow reads one after the other that show a disk: a thread that lost its processor for a
// while makes one read slow now and then.
constexpr int kSlowReadsInARow = 4;

// How often the progress of a large file is looked at while the records wait for it.
constexpr std::chrono::milliseconds kProgressInterval{100};

// Reads in flight while files are read ahead, and the first piece each brings in: a disk that
// answers late answers many reads as soon as one, and a small file comes whole in its piece.
constexpr int kReadsAhead = 64;
constexpr std::size_t kPieceBytes = std::size_t{32} * 1024;

// How long the reader waits for a read to end before it looks again whether the run goes on.
constexpr std::chrono::milliseconds kReaderPatience{20};

// The workers also share the kinds of a large file among themselves.
DigestRequest shared_request(WorkPool& workers) {
  DigestRequest request = file_digest_request();
  request.helpers = &workers;
  return request;
}

}  // namespace

OrderedRecordWriters::OrderedRecordWriters(WorkPool& workers, std::size_t window,
                                           ReadAhead read_ahead)
    : workers_(workers),
      request_(shared_request(workers)),
      capacity_(window == 0 ? 1 : window),
      processors_(processor_count()),
      ring_(new Item[capacity_]),
      read_ahead_when_(read_ahead) {}

OrderedRecordWriters::~OrderedRecordWriters() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return drainers_ == 0 && !reader_running_; });
  // A run cut short leaves files opened ahead that nobody read.
  for (Item* item : opened_) os().close_input(item->opened.input);
}

// The filters wait for the file's facts, which the thread that reaches it takes.
void OrderedRecordWriters::file(const Directory& dir, const DirEntry& entry) {
  Item& item = next_slot();
  item.step = nullptr;
  item.dir = dir;
  item.entry = entry;
  item.long_read = false;
  item.state.store(kWaiting, std::memory_order_relaxed);
  staged_.push_back(&item);
  if (staged_.size() >= kWakeBatch) {
    std::lock_guard<std::mutex> lock(mutex_);
    publish_staged();
  }
  run_ready();
}

// Also when nothing is staged: the main thread that is about to wait makes sure someone is
// at work on what it waits for.
void OrderedRecordWriters::publish_staged() {
  waiting_.insert(waiting_.end(), staged_.begin(), staged_.end());
  staged_.clear();
  if (read_ahead_when_ == ReadAhead::kFromTheStart) start_reading_ahead();
  wake_reader();
  wake_drainer();
}

// A worker that is draining takes the file without being woken: one wake-up per idle worker
// rather than one per file. One more joins only when a batch waits untaken, and, while reads
// come from the cache, only while this thread and those draining leave a processor free:
// threads that take turns at the processors and the lock cost more than they gain.
void OrderedRecordWriters::wake_drainer() {
  if (drainers_ >= workers_.size() || untaken() == 0) return;
  if (drainers_ > 0) {
    if (untaken() < kWakeBatch) return;
    if (slow_reads_ < kSlowReadsInARow && drainers_ + 1 >= processors_) return;
  }
  ++drainers_;
  workers_.submit([this] { drain(); });
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

// Asked after every file the walk hands on: without the lock, which the workers take as often.
bool OrderedRecordWriters::front_ready() {
  const Item& item = ring_[head_];
  return item.step || item.state.load(std::memory_order_acquire) == kDone;
}

void OrderedRecordWriters::run_ready() {
  while (count_ != 0 && front_ready()) run_front();
}

OrderedRecordWriters::Item* OrderedRecordWriters::take_waiting() {
  if (waiting_.empty()) return nullptr;
  Item* item = waiting_.front();
  waiting_.pop_front();
  item->state.store(kTaken, std::memory_order_relaxed);
  return item;
}

std::size_t OrderedRecordWriters::untaken() const {
  return opened_.size() + (reading_ahead_ ? 0 : waiting_.size());
}

void OrderedRecordWriters::start_reading_ahead() {
  if (reading_ahead_ || ahead_refused_) return;
  if (background_ == nullptr) {
    // Nothing to read, nothing to begin: the facts then come from one look-up.
    if (kind_count(request_) == 0 || !(background_ = os().background_reads(kReadsAhead))) {
      ahead_refused_ = true;
      return;
    }
    for (int i = 0; i < kReadsAhead; ++i) {
      pieces_.emplace_back(new unsigned char[kPieceBytes]);
      free_pieces_.push_back(pieces_.back().get());
    }
  }
  reading_ahead_ = true;
  cached_rounds_ = 0;
  wake_reader();
}

void OrderedRecordWriters::wake_reader() {
  if (!reading_ahead_ || reader_running_ || waiting_.empty() || free_pieces_.empty()) return;
  reader_running_ = true;
  workers_.submit([this] { read_ahead(); });
}

bool OrderedRecordWriters::open_ahead(Item& item) {
  item.opened = OpenedFile{};
  item.opening = open_admitted(
      item.dir, item.entry, request_,
      [&](const DirEntry& facts) { return admission(item, facts, false, nullptr); }, &item.opened);
  const std::uint64_t start = request_.start;
  const std::uint64_t limit = pass_limit(request_);
  // A large file is read by its digesting thread, which shares it out as it reads.
  if (item.opening != DigestOutcome::kDone || item.opened.facts.size >= kLongReadSize ||
      start >= limit) {
    return false;
  }
  const std::size_t count =
      static_cast<std::size_t>(std::min<std::uint64_t>(limit - start, kPieceBytes));
  if (!background_->start(item.opened.input, item.piece, count, start, &item)) return false;
  item.opened.ahead = FirstPiece{item.piece, count, 0};
  return true;
}

void OrderedRecordWriters::read_ahead() {
  std::vector<Item*> opening;
  std::vector<Item*> ready;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!workers_.stopping()) {
    while (reading_ahead_ && !waiting_.empty() && !free_pieces_.empty()) {
      Item* item = take_waiting();
      item->piece = free_pieces_.back();
      free_pieces_.pop_back();
      opening.push_back(item);
    }
    if (opening.empty() && background_->in_flight() == 0) break;
    // More files could be opened now: the reads in flight are only looked at in passing.
    const bool wait = waiting_.empty() || free_pieces_.empty();
    lock.unlock();
    std::size_t started = 0;
    for (Item* item : opening) {
      if (open_ahead(*item)) {
        ++started;
      } else {
        ready.push_back(item);
      }
    }
    opening.clear();
    const auto ended = [&](void* tag, long long got) {
      Item* item = static_cast<Item*>(tag);
      // A read that failed here is left to the digesting thread.
      if (got < 0) {
        item->opened.ahead = FirstPiece{};
      } else {
        item->opened.ahead.got = static_cast<std::size_t>(got);
      }
      ready.push_back(item);
    };
    background_->collect(std::chrono::milliseconds(0), ended);
    // Reads that all ended as they were handed over came from memory, not from a disk:
    // threads that read for themselves then go faster.
    if (started >= kWakeBatch / 2) {
      cached_rounds_ = background_->in_flight() == 0 ? cached_rounds_ + 1 : 0;
    }
    if (wait && background_->in_flight() > 0) background_->collect(kReaderPatience, ended);
    // A file that is not to be read is done here: its outcome is all there is to tell.
    for (Item* item : ready) {
      if (item->opening != DigestOutcome::kDone) {
        item->digest =
            digest_opened(item->dir, item->entry, request_, nullptr, item->opened, item->opening);
      }
    }
    lock.lock();
    if (cached_rounds_ >= kSlowReadsInARow) {
      reading_ahead_ = false;
      slow_reads_ = 0;
    }
    for (Item* item : ready) {
      if (item->opened.ahead.bytes == nullptr) {
        free_pieces_.push_back(item->piece);
        item->piece = nullptr;
      }
      if (item->opening != DigestOutcome::kDone) {
        item->state.store(kDone, std::memory_order_release);
        continue;
      }
      item->opened_ahead = true;
      item->state.store(kWaiting, std::memory_order_relaxed);
      opened_.push_back(item);
    }
    if (!ready.empty() || !reading_ahead_) {
      ready.clear();
      wake_drainer();
      changed_.notify_all();
    }
  }
  reader_running_ = false;
  changed_.notify_all();
}

Admission OrderedRecordWriters::admission(Item& item, const DirEntry& facts, bool on_main,
                                          Run* run) {
  if (!wanted(item.dir, facts)) return Admission::kReject;
  if (facts.size < kLongReadSize) return Admission::kRead;
  // Read here, a large file would hold back the records that are ready before it.
  if (on_main) return Admission::kPutBack;
  std::lock_guard<std::mutex> lock(mutex_);
  item.long_read = true;
  item.size = static_cast<std::uint64_t>(facts.size);
  // The files taken with it would wait for it: others may read them meanwhile.
  if (run != nullptr) give_back(run);
  if (awaited_.load() == &item) changed_.notify_all();
  return Admission::kRead;
}

void OrderedRecordWriters::give_back(Run* run) {
  for (std::size_t i = run->items.size(); i > run->next + 1; --i) {
    Item* item = run->items[i - 1];
    item->state.store(kWaiting, std::memory_order_relaxed);
    waiting_.push_front(item);
  }
  run->items.resize(run->next + 1);
  wake_drainer();
}

void OrderedRecordWriters::take_run(bool on_main, Run* run) {
  run->items.clear();
  run->next = 0;
  // A file opened ahead is handed on alone: its first piece holds one of few buffers.
  if (!opened_.empty()) {
    Item* item = opened_.front();
    if (on_main && item->long_read) return;
    opened_.pop_front();
    item->state.store(kTaken, std::memory_order_relaxed);
    run->items.push_back(item);
    return;
  }
  // The reader opens them: a thread that read one itself would wait on the disk.
  if (reading_ahead_) return;
  while (run->items.size() < kRunLength && !waiting_.empty() &&
         !(on_main && waiting_.front()->long_read)) {
    run->items.push_back(take_waiting());
  }
}

// Each file is marked done as soon as it is, without the lock: the records' thread sleeps on
// a file only after saying so, and is woken only then.
void OrderedRecordWriters::digest_run(Run* run, std::unique_lock<std::mutex>& lock, bool on_main) {
  lock.unlock();
  int slow = 0;       // slow reads at the end of the run, one after the other
  bool fast = false;  // some read of the run was not slow
  for (; run->next < run->items.size(); ++run->next) {
    Item& item = *run->items[run->next];
    // Only a worker's reads tell whether the disk makes them wait.
    const auto started =
        on_main ? std::chrono::steady_clock::time_point{} : std::chrono::steady_clock::now();
    DigestRequest request = request_;
    item.progress.reached.store(0, std::memory_order_relaxed);
    if (progress_drawn()) request.progress = &item.progress;
    const FileGate gate = [&](const DirEntry& facts) {
      return admission(item, facts, on_main, run);
    };
    DigestResult digest = item.opened_ahead ? digest_opened(item.dir, item.entry, request, gate,
                                                            item.opened, item.opening)
                                            : digest_file(item.dir, item.entry, request, gate);
    item.opened_ahead = false;
    if (digest.outcome == DigestOutcome::kPutBack) {
      // Still older than any file no thread has: it goes back to the front.
      lock.lock();
      item.state.store(kWaiting, std::memory_order_relaxed);
      item.long_read = true;
      waiting_.push_front(&item);
      wake_drainer();
      lock.unlock();
      continue;
    }
    if (!on_main && !item.long_read) {
      if (std::chrono::steady_clock::now() - started > kSlowRead) {
        ++slow;
      } else {
        slow = 0;
        fast = true;
      }
    }
    item.digest = std::move(digest);
    // Once done, the item is the records' thread's again, and soon another file's.
    if (item.piece != nullptr) {
      lock.lock();
      free_pieces_.push_back(item.piece);
      item.piece = nullptr;
      wake_reader();
    }
    item.state.store(kDone);
    if (awaited_.load() == &item) {
      if (!lock.owns_lock()) lock.lock();
      changed_.notify_all();
    }
    if (lock.owns_lock()) lock.unlock();
    // A disk that makes every read wait is better served by reads in flight than by this run.
    if (slow >= kSlowReadsInARow && run->next + 1 < run->items.size()) {
      lock.lock();
      give_back(run);
      lock.unlock();
      break;
    }
  }
  lock.lock();
  if (!on_main) {
    slow_reads_ = fast ? slow : slow_reads_ + slow;
    if (slow_reads_ >= kSlowReadsInARow) start_reading_ahead();
  }
}

// The oldest item. While its file is still being read, this thread reads the next files that
// no one has taken (the oldest itself when no worker has it) rather than sleep, up to a file
// known to be large.
void OrderedRecordWriters::run_front() {
  Item& item = ring_[head_];
  head_ = (head_ + 1) % capacity_;
  --count_;
  if (item.step) {
    std::function<void()> step = std::move(item.step);
    item.step = nullptr;
    step();
    return;
  }
  // Mostly a worker has read it already, and the lock is left to the workers.
  if (item.state.load(std::memory_order_acquire) != kDone) {
    std::unique_lock<std::mutex> lock(mutex_);
    publish_staged();
    bool flushed = false;
    Run run;
    while (item.state != kDone) {
      // A large file keeps the reader waiting: what is gathered goes out to a terminal or
      // pipe first, as when one thread reads.
      if (item.long_read && !flushed) {
        lock.unlock();
        flush_before_long_wait();
        lock.lock();
        flushed = true;
        continue;
      }
      take_run(true, &run);
      if (!run.items.empty()) {
        digest_run(&run, lock, true);
        continue;
      }
      if (item.long_read && item.state == kTaken && progress_drawn()) {
        wait_for_long_read(item, lock);
        continue;
      }
      // Said before the last look, so that a thread that marks it done then wakes this one.
      awaited_.store(&item);
      if (item.state != kDone) changed_.wait(lock);
      awaited_.store(nullptr);
    }
  }
  item.state.store(kFree, std::memory_order_relaxed);
  erase_read_progress();
  digested(item.dir, item.digest);
}

bool OrderedRecordWriters::wanted(const Directory& dir, const DirEntry& facts) {
  return file_record_wanted(dir, facts);
}

void OrderedRecordWriters::digested(const Directory& dir, const DigestResult& digest) {
  write_digested_record(dir, digest);
}

void OrderedRecordWriters::wait_for_long_read(Item& item, std::unique_lock<std::mutex>& lock) {
  const std::uint64_t size = item.size;
  lock.unlock();
  show_read_progress(item.progress.reached.load(std::memory_order_relaxed), size);
  lock.lock();
  awaited_.store(&item);
  if (item.state != kDone) changed_.wait_for(lock, kProgressInterval);
  awaited_.store(nullptr);
}

void OrderedRecordWriters::drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  // A run that ends leaves the files still waiting unread.
  Run run;
  while (!workers_.stopping()) {
    take_run(false, &run);
    if (run.items.empty()) break;
    digest_run(&run, lock, false);
  }
  // Told under the lock: once the count is down the writers may be destroyed.
  --drainers_;
  changed_.notify_all();
}
