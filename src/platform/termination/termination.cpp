// What both systems share: the hook's thread, and its end.
#include "termination.h"

namespace platform {

namespace {

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

}  // namespace

TTerminationHook::TTerminationHook(std::function<void(TTermination)> onRequest, TWait wait)
    : OnRequest_(std::move(onRequest)), Wait_(wait ? std::move(wait) : PollUntil) {
  HoldTerminationRequests();
  Thread_ = std::thread([this] { Watch(); });
}

// The thread may be busy in onRequest, or not be listening yet: nudge it
// until it has gone.
TTerminationHook::~TTerminationHook() {
  Stopping_ = true;
  do Nudge();
  while (!Wait_([this] { return Finished_.load(); }, std::chrono::milliseconds(20)));
  Thread_.join();
}

}  // namespace platform
