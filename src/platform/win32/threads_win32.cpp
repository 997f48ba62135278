// Threads through the C run-time's thread start, so that its per-thread state is set up; the
// stack size given is a reservation, not a commitment, and only that is taken from the
// address space.
#include <process.h>

#include <memory>
#include <utility>

#include "platform/win32/system_win32.h"

struct ThreadState {
  HANDLE handle = nullptr;
  std::function<void()> body;
};

namespace {

unsigned __stdcall run_body(void* state) {
  static_cast<ThreadState*>(state)->body();
  return 0;
}

}  // namespace

ThreadHandle Win32Platform::start_thread(std::function<void()> body) {
  auto state = std::make_unique<ThreadState>();
  state->body = std::move(body);
  const std::uintptr_t handle =
      _beginthreadex(nullptr, static_cast<unsigned>(kThreadStackBytes), run_body, state.get(),
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (handle == 0) return nullptr;
  state->handle = reinterpret_cast<HANDLE>(handle);
  return state.release();
}

void Win32Platform::join_thread(ThreadHandle thread) {
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  delete thread;
}
