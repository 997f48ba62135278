#include "digest/split_pass.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr std::size_t kReadSize = 1 << 16;
constexpr std::size_t kSlotSize = 1 << 18;  // four reads: a unit of work worth a lock
constexpr std::size_t kSlots = 8;

struct Slot {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  int pending = 0;  // kinds not yet done with it; 0: free for the reader
};

// One chosen kind, fed the slots in file order by one thread at a time.
struct Lane {
  DigestSet set;
  std::uint64_t next = 0;  // sequence number of the next slot it takes
  bool busy = false;
};

// Shared with the helper jobs, which may start after the pass is over: they then find nothing
// to do and let it go.
struct SharedPass {
  std::mutex mutex;
  std::condition_variable changed;
  Slot slots[kSlots];
  std::vector<Lane> lanes;
  std::uint64_t filled = 0;  // slots published so far
  std::uint64_t freed = 0;   // slots every kind is done with, so far
  bool ended = false;        // every slot is published
  bool stopped = false;      // the pass was given up: nothing more is fed
  int active = 0;            // units being worked on outside the lock
  // Threads asleep until a unit ends: helpers without a unit, the reader at the end.
  int awaiting_units = 0;
  // The reader asleep on a full ring: woken only once half the ring is free, since a wake-up
  // costs the digesting thread more than the read of a slot costs the reader.
  bool reader_waiting = false;
};

using Lock = std::unique_lock<std::mutex>;

int pick_lane(const SharedPass& pass) {
  if (pass.stopped) return -1;
  for (std::size_t i = 0; i < pass.lanes.size(); ++i) {
    const Lane& lane = pass.lanes[i];
    if (!lane.busy && lane.next < pass.filled) return static_cast<int>(i);
  }
  return -1;
}

bool all_fed(const SharedPass& pass) {
  for (const Lane& lane : pass.lanes) {
    if (lane.next < pass.filled) return false;
  }
  return true;
}

// One slot through one kind, outside the lock.
void run_unit(SharedPass& pass, Lock& lock, int index) {
  Lane& lane = pass.lanes[static_cast<std::size_t>(index)];
  Slot& slot = pass.slots[lane.next % kSlots];
  lane.busy = true;
  ++pass.active;
  lock.unlock();
  feed_digests(&lane.set, slot.bytes.get(), slot.size);
  lock.lock();
  lane.busy = false;
  lane.next += 1;
  slot.pending -= 1;
  if (slot.pending == 0) pass.freed += 1;
  --pass.active;
  const bool reader_due = pass.reader_waiting && pass.filled - pass.freed <= kSlots / 2;
  if (pass.awaiting_units > 0 || reader_due) pass.changed.notify_all();
}

// Waits, under the lock, for a unit to end somewhere.
void await_unit(SharedPass& pass, Lock& lock) {
  ++pass.awaiting_units;
  pass.changed.wait(lock);
  --pass.awaiting_units;
}

void help(const std::shared_ptr<SharedPass>& pass) {
  Lock lock(pass->mutex);
  for (;;) {
    int index = pick_lane(*pass);
    if (index >= 0) {
      run_unit(*pass, lock, index);
      continue;
    }
    if (pass->stopped || (pass->ended && all_fed(*pass))) return;
    await_unit(*pass, lock);
  }
}

// A lane for every kind of `set`, in its order, each with only its own kind.
std::vector<Lane> lanes_of(const DigestSet& set) {
  std::vector<Lane> lanes(set.count);
  for (std::size_t i = 0; i < set.count; ++i) {
    start_digests(&lanes[i].set, one_kind_of(set.request, set.kinds[i]));
  }
  return lanes;
}

// Takes over the context of the `index`th kind from its lane. Every lane was fed the same
// bytes, so each holds back the same last piece.
void adopt(DigestSet* into, std::size_t index, const DigestSet& lane) {
  into->contexts[index] = lane.contexts[0];
  into->held = lane.held;
  std::memcpy(into->hold, lane.hold, lane.held);
}

// Fills `slot` with up to one slot's worth of the `left` bytes still wanted; returns how many
// it holds, fewer at the end of the input or when `result` says the read must stop.
std::size_t fill_slot(InputHandle input, Slot& slot, std::uint64_t left, SplitRead* result) {
  std::size_t size = 0;
  while (size < kSlotSize && size < left) {
    if (os().interrupt_pending()) {
      result->interrupted = true;
      return size;
    }
    std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::min(kReadSize, kSlotSize - size), left - size));
    bool failed = false;
    std::size_t got = read_chunk(input, slot.bytes.get() + size, want, &failed);
    if (failed) {
      (os().interrupt_pending() ? result->interrupted : result->failed) = true;
      return size;
    }
    if (got == 0) break;
    size += got;
  }
  return size;
}

// CRC-32 alone runs faster than a read copies its bytes: a second thread would only add the
// hand-over.
bool crc32_alone(const DigestRequest& request) {
  return request.crc32 && kind_count(request) == 1;
}

}  // namespace

bool worth_splitting(const DigestRequest& request, std::uint64_t bytes, const WorkPool* helpers) {
  return helpers != nullptr && kind_count(request) > 0 && !crc32_alone(request) &&
         bytes >= kSplitThreshold;
}

SplitRead split_read(InputHandle input, DigestSet* set, std::uint64_t count, WorkPool& helpers) {
  auto pass = std::make_shared<SharedPass>();
  pass->lanes = lanes_of(*set);
  for (Slot& slot : pass->slots) slot.bytes.reset(new unsigned char[kSlotSize]);
  const int lanes = static_cast<int>(pass->lanes.size());
  // This thread takes a kind too; a single kind goes to a helper, so that the next piece is
  // read while this one is digested.
  const int wanted = lanes == 1 ? 1 : lanes - 1;
  // More helpers than processors would only take turns at them.
  for (int i = std::min({wanted, helpers.size(), processor_count()}); i > 0; --i) {
    helpers.submit_first([pass] { help(pass); });
  }

  SplitRead result;
  Lock lock(pass->mutex);
  for (std::uint64_t seq = 0; result.fed < count; ++seq) {
    Slot& slot = pass->slots[seq % kSlots];
    while (slot.pending != 0) {
      int index = pick_lane(*pass);
      if (index >= 0) {
        run_unit(*pass, lock, index);
      } else {
        pass->reader_waiting = true;
        pass->changed.wait(lock);
        pass->reader_waiting = false;
      }
    }
    if (helpers.stopping()) {
      result.interrupted = true;  // the run is ending
      break;
    }
    lock.unlock();
    std::size_t size = fill_slot(input, slot, count - result.fed, &result);
    lock.lock();
    if (result.failed || result.interrupted || size == 0) break;
    slot.size = size;
    slot.pending = lanes;
    pass->filled += 1;
    result.fed += size;
    note_reached(set->request, set->position + result.fed);
    pass->changed.notify_all();
  }
  (result.failed || result.interrupted ? pass->stopped : pass->ended) = true;
  pass->changed.notify_all();
  // The rest here; a helper still inside a unit is waited for.
  for (;;) {
    int index = pick_lane(*pass);
    if (index >= 0) {
      run_unit(*pass, lock, index);
      continue;
    }
    if (pass->active == 0 && (pass->stopped || all_fed(*pass))) break;
    await_unit(*pass, lock);
  }
  // A helper that starts later finds nothing to feed and never touches the buffers.
  for (Slot& slot : pass->slots) slot.bytes.reset();
  lock.unlock();
  for (std::size_t i = 0; i < pass->lanes.size(); ++i) adopt(set, i, pass->lanes[i].set);
  set->position += result.fed;
  return result;
}
