// The record writers for a run that reads several files at once. The walk runs ahead of the
// records by a fixed number of items; workers take the files in that window, each reaching
// its file as a run reading one file at a time does (its facts from the open file, the filters
// on them, the reading, the stamps put back), and the main thread writes, strictly in walk
// order, everything a run reading one file at a time writes: progress, records, pauses,
// stream records, messages and counters. Over a tree nobody changes the output is byte for
// byte the same; only the speed differs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "digest/file_digest.h"
#include "digest/work_pool.h"
#include "select/walk.h"

class OrderedRecordWriters : public WalkSink {
 public:
  // `workers` digest the files; at most `window` files and steps wait for their turn.
  OrderedRecordWriters(WorkPool& workers, std::size_t window);
  // Waits for the jobs it gave the workers. The run's writers are never destroyed (see
  // WorkPool): the run ends while they may still be at work.
  ~OrderedRecordWriters() override;
  OrderedRecordWriters(const OrderedRecordWriters&) = delete;
  OrderedRecordWriters& operator=(const OrderedRecordWriters&) = delete;

  void file(const Directory& dir, const DirEntry& entry) override;
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override;
  void in_walk_order(std::function<void()> step) override;
  // Writes everything still waiting, in order; after the walk.
  void finish();

 protected:
  // Whether a file with these facts is read; by default whether the filters keep it. Asked
  // by whichever thread reaches the file.
  virtual bool wanted(const Directory& dir, const DirEntry& facts);
  // A file's digest in its turn, on this thread; by default its record is written.
  virtual void digested(const Directory& dir, const DigestResult& digest);

 private:
  enum State { kFree, kWaiting, kTaken, kDone };
  struct Item {
    // Changed under mutex_; kDone is stored after the digest, so that a thread that reads it
    // without the lock finds the digest whole.
    std::atomic<State> state{kFree};
    std::function<void()> step;  // set: a step of the walk; empty: a file
    Directory dir;
    DirEntry entry;  // the file's name, as the walk handed it on
    DigestResult digest;
    bool long_read = false;  // under mutex_: its reader found it large
    std::uint64_t size = 0;  // under mutex_: a large file's size
    ReadProgress progress;   // how far its reader has come
  };

  Item& next_slot();
  void run_front();
  void run_ready();
  bool front_ready();
  // The oldest file no thread has taken, now taken; nullptr when there is none. Under mutex_.
  Item* take_waiting();
  // Digests a taken item outside the lock and marks it done; on the main thread, a large file
  // goes back to the workers unread.
  void digest_taken(Item& item, std::unique_lock<std::mutex>& lock, bool on_main);
  // What a thread makes of the file of `item` once it has its facts.
  Admission admission(Item& item, const DirEntry& facts, bool on_main);
  // Waits for the oldest item, a large file that a worker reads, showing how far it has come.
  // Under mutex_.
  void wait_for_long_read(Item& item, std::unique_lock<std::mutex>& lock);
  // Moves the staged files to those waiting, where the workers find them. Under mutex_.
  void publish_staged();
  // Has a worker drain the files waiting unless enough do already. Under mutex_.
  void wake_drainer();
  // On a worker: takes and digests files until none waits.
  void drain();

  WorkPool& workers_;
  const DigestRequest request_;
  const std::size_t capacity_;
  const int processors_;
  std::unique_ptr<Item[]> ring_;
  std::size_t head_ = 0;   // the oldest item
  std::size_t count_ = 0;  // items waiting for their turn
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Item*> staged_;  // files handed on and not yet published, in walk order
  std::deque<Item*> waiting_;  // files published and not taken, in walk order; under mutex_
  int drainers_ = 0;           // workers draining; under mutex_
  // The small files that workers read last that waited for the disk, one after the other;
  // under mutex_.
  int slow_reads_ = 0;
  const Item* awaited_ = nullptr;  // the item the main thread sleeps on; under mutex_
};
