// The record writers for a run that reads several files at once. The walk runs ahead of the
// records by a fixed number of items; workers digest the files in that window, and the main
// thread writes, strictly in walk order, everything a run reading one file at a time writes:
// progress, records, resets, pauses, stream records, messages and counters. The output is
// byte for byte the same; only the speed differs.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

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
  // Whether a file the walk hands on takes a place in the window; by default whether the
  // filters keep it. Runs ahead, on the walking thread.
  virtual bool wanted(const Directory& dir, const DirEntry& entry);
  // A wanted file in its turn, its digest made; by default its record is written.
  virtual void digested(const Directory& dir, const DirEntry& entry, const DigestResult& digest);

 private:
  enum State { kFree, kWaiting, kTaken, kDone };
  struct Item {
    State state = kFree;         // under mutex_
    std::function<void()> step;  // set: a step of the walk; empty: a file
    Directory dir;
    DirEntry entry;
    DigestResult digest;
  };

  Item& next_slot();
  void run_front();
  void run_ready();
  bool front_ready();
  // The oldest file no thread has taken, now taken; nullptr when there is none. Under mutex_.
  Item* take_waiting();
  // Digests a taken item outside the lock and marks it done.
  void digest_taken(Item& item, std::unique_lock<std::mutex>& lock);
  // On a worker: takes and digests files until none waits.
  void drain();

  WorkPool& workers_;
  const DigestRequest request_;
  const std::size_t capacity_;
  std::unique_ptr<Item[]> ring_;
  std::size_t head_ = 0;   // the oldest item
  std::size_t count_ = 0;  // items waiting for their turn
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item*> waiting_;  // files published and not taken, in walk order; under mutex_
  int drainers_ = 0;           // workers draining; under mutex_
  bool main_waiting_ = false;  // the main thread sleeps until an item is done; under mutex_
};
