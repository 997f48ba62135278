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

// When files are opened, and their first pieces read, ahead of the threads that digest them,
// by one worker that keeps many reads in flight at once (where the system carries reads out
// on its own).
enum class ReadAhead {
  kWhenTheDiskWaits,  // once the reads are seen to wait on the disk
  kFromTheStart,
};

class OrderedRecordWriters : public WalkSink {
 public:
  // `workers` digest the files; at most `window` files and steps wait for their turn.
  OrderedRecordWriters(WorkPool& workers, std::size_t window,
                       ReadAhead read_ahead = ReadAhead::kWhenTheDiskWaits);
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
    // Changed under mutex_, but for kDone, which is stored after the digest, so that a thread
    // that reads it without the lock finds the digest whole.
    std::atomic<State> state{kFree};
    std::function<void()> step;  // set: a step of the walk; empty: a file
    Directory dir;
    DirEntry entry;  // the file's name, as the walk handed it on
    DigestResult digest;
    bool long_read = false;  // under mutex_: its reader found it large
    std::uint64_t size = 0;  // under mutex_: a large file's size
    ReadProgress progress;   // how far its reader has come
    // Opened ahead of its reading (under mutex_), with what the opening came to.
    bool opened_ahead = false;
    OpenedFile opened;
    DigestOutcome opening = DigestOutcome::kDone;
    unsigned char* piece = nullptr;  // the buffer of its first piece, while it holds one
  };

  // Files one thread took together, and how far it has come through them.
  struct Run {
    std::vector<Item*> items;
    std::size_t next = 0;
  };

  Item& next_slot();
  void run_front();
  void run_ready();
  bool front_ready();
  // The oldest file no thread has taken, now taken; nullptr when there is none. Under mutex_.
  Item* take_waiting();
  // Files published but not yet taken by those who digest them. Under mutex_.
  std::size_t untaken() const;
  // From now on files are opened and begun ahead of their reading. Under mutex_.
  void start_reading_ahead();
  // Has a worker open files ahead unless one does or none can be. Under mutex_.
  void wake_reader();
  // On a worker: opens the files waiting and keeps their first reads in flight until none
  // waits and none is in flight.
  void read_ahead();
  // Opens the file of `item` and starts the read of its first piece; false when no read was
  // started (it is not to be read, or is read by its digesting thread alone).
  bool open_ahead(Item& item);
  // The next file opened ahead, or, while none are opened ahead, up to a run of the oldest
  // files no thread has taken; on the main thread never a large one. Under mutex_.
  void take_run(bool on_main, Run* run);
  // The files of `run` after the one it is at go back to the front of those waiting. Under
  // mutex_.
  void give_back(Run* run);
  // Digests the files of a run outside the lock and marks each done; on the main thread, a
  // large file goes back to the workers unread.
  void digest_run(Run* run, std::unique_lock<std::mutex>& lock, bool on_main);
  // What a thread makes of the file of `item` once it has its facts; a large one found by a
  // worker gives back the rest of its run.
  Admission admission(Item& item, const DirEntry& facts, bool on_main, Run* run);
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
  // The item the main thread sleeps on; set under mutex_, read by a thread that marks it done.
  std::atomic<const Item*> awaited_{nullptr};

  // Reading ahead; under mutex_ but for background_, which only the reader uses.
  ReadAhead read_ahead_when_;
  bool reading_ahead_ = false;
  bool reader_running_ = false;
  bool ahead_refused_ = false;  // the system carries out no reads on its own
  int cached_rounds_ = 0;       // rounds of reads in a row that all ended at once
  std::unique_ptr<BackgroundReads> background_;
  std::deque<Item*> opened_;  // files opened ahead, not yet taken
  std::vector<std::unique_ptr<unsigned char[]>> pieces_;
  std::vector<unsigned char*> free_pieces_;
};
