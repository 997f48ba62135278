// Background reads through the kernel's submission and completion rings, where the build has
// them and the system allows them; elsewhere none, and threads read the files.
#include "platform/posix/posix_platform.h"

#ifdef TALLYSUM_HAVE_URING

#include <liburing.h>

namespace {

class RingReads : public BackgroundReads {
 public:
  ~RingReads() override {
    // The kernel may still write into buffers the caller is about to free.
    while (in_flight_ > 0) collect(std::chrono::milliseconds(100), [](void*, long long) {});
    io_uring_queue_exit(&ring_);
  }

  bool open(int depth) { return io_uring_queue_init(static_cast<unsigned>(depth), &ring_, 0) == 0; }

  bool start(InputHandle input, void* buffer, std::size_t count, std::uint64_t offset,
             void* tag) override {
    const int fd = posix::descriptor_of(input);
    if (fd < 0) return false;
    io_uring_sqe* entry = io_uring_get_sqe(&ring_);
    if (entry == nullptr) return false;
    io_uring_prep_read(entry, fd, buffer, static_cast<unsigned>(count), offset);
    io_uring_sqe_set_data(entry, tag);
    ++in_flight_;
    return true;
  }

  void collect(std::chrono::milliseconds limit,
               const std::function<void(void* tag, long long got)>& ended) override {
    if (in_flight_ == 0) return;
    __kernel_timespec wait{};
    wait.tv_sec = static_cast<long long>(limit.count() / 1000);
    wait.tv_nsec = static_cast<long long>(limit.count() % 1000) * 1000000;
    io_uring_cqe* done = nullptr;
    // An interrupt or the time running out ends the wait; what ended meanwhile is told anyway.
    io_uring_submit_and_wait_timeout(&ring_, &done, limit.count() > 0 ? 1 : 0, &wait, nullptr);
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_for_each_cqe(&ring_, head, done) {
      ++seen;
      ended(io_uring_cqe_get_data(done), done->res < 0 ? -1 : done->res);
    }
    io_uring_cq_advance(&ring_, seen);
    in_flight_ -= static_cast<int>(seen);
  }

  int in_flight() const override { return in_flight_; }

 private:
  io_uring ring_{};
  int in_flight_ = 0;
};

}  // namespace

// A system that refuses the rings (an old kernel, a sandbox that forbids them) has the files
// read by threads.
std::unique_ptr<BackgroundReads> PosixPlatform::background_reads(int depth) {
  auto reads = std::make_unique<RingReads>();
  if (!reads->open(depth)) return nullptr;
  return reads;
}

#else

std::unique_ptr<BackgroundReads> PosixPlatform::background_reads(int) {
  return nullptr;
}

#endif
