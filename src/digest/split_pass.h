// One large file, several threads: one reader fills a small ring of buffers and each chosen
// kind runs over them in file order on whichever thread is free, the reader included, so that
// the pass finishes even when no worker comes to help. A buffer is read again only when every
// kind is done with it. With a single kind the reader keeps the next read in flight while a
// worker digests.
#pragma once

#include <cstdint>

#include "digest/file_digest.h"
#include "digest/work_pool.h"

// Files smaller than this are read by one thread alone: sharing would cost more than it saves.
constexpr std::uint64_t kSplitThreshold = std::uint64_t{4} << 20;

// How a shared pass ended and how many bytes every kind of it was fed.
struct SplitRead {
  std::uint64_t fed = 0;
  bool failed = false;       // a read failed
  bool interrupted = false;  // an interrupt arrived
};

// True when a pass of `bytes` bytes over `request` is worth sharing among `helpers`.
bool worth_splitting(const DigestRequest& request, std::uint64_t bytes, const WorkPool* helpers);

// Reads `input` from where it stands, up to `count` bytes or its end, and feeds every kind of
// `set` (started) with them, the kinds spread over `helpers` and this thread.
SplitRead split_read(InputHandle input, DigestSet* set, std::uint64_t count, WorkPool& helpers);
