#include "platform/worker_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vestan {

namespace {

// Niceness added for a below-normal thread: the main thread, at the
// process's own niceness, gets about three times its share of a busy core.
constexpr int kBelowNormalNiceness = 5;

void LowerCallingThreadPriority() {
  // Linux keeps a niceness per thread, named by its thread id.
  const id_t thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, thread);
  if (errno != 0) return;
  // A failure leaves the thread at normal priority, which is only slower.
  (void)::setpriority(PRIO_PROCESS, thread, current + kBelowNormalNiceness);
}

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Create(std::function<int32_t()> body, ThreadPriority priority) {
  if (state_.load() != kEmpty) return false;
  body_ = std::move(body);
  priority_ = priority;
  result_.store(0);
  state_.store(kSuspended);
  return true;
}

bool WorkerThread::Resume() {
  if (state_.load() != kSuspended) return false;
  state_.store(kRunning);
  thread_ = std::thread([this] {
    if (priority_ == ThreadPriority::kBelowNormal) LowerCallingThreadPriority();
    const int32_t result = body_ ? body_() : 0;
    result_.store(result);
    state_.store(kEnded);
    queue_.Wake();
  });
  return true;
}

int32_t WorkerThread::Join() {
  if (thread_.joinable()) {
    if (queue_.IsMainThread()) queue_.WaitUntil([this] { return Ended(); });
    thread_.join();
  }
  body_ = nullptr;
  state_.store(kEmpty);
  return result_.load();
}

}  // namespace vestan
