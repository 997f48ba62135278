// Threads through pthreads, whose attributes are where the stack size is chosen.
#include <pthread.h>

#include <memory>
#include <utility>

#include "platform/posix/posix_platform.h"

struct ThreadState {
  pthread_t id{};
  std::function<void()> body;
};

namespace {

void* run_body(void* state) {
  static_cast<ThreadState*>(state)->body();
  return nullptr;
}

}  // namespace

ThreadHandle PosixPlatform::start_thread(std::function<void()> body) {
  auto state = std::make_unique<ThreadState>();
  state->body = std::move(body);
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return nullptr;
  pthread_attr_setstacksize(&attributes, kThreadStackBytes);
  const int error = pthread_create(&state->id, &attributes, run_body, state.get());
  pthread_attr_destroy(&attributes);
  return error == 0 ? state.release() : nullptr;
}

void PosixPlatform::join_thread(ThreadHandle thread) {
  pthread_join(thread->id, nullptr);
  delete thread;
}
