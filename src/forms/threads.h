// Running work on the UI thread from other threads.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

// The UI thread is the thread that created the application object.
bool IsMainThread();

// From any thread: runs `work` on the UI thread and waits until it has run
// (a blocking send to a hidden message target). An exception thrown by `work`
// is caught on the UI thread and rethrown here, in the caller. Called on the
// UI thread itself, runs `work` at once.
void SendToMainThread(const std::function<void()>& work);

// Wakes the UI thread's loop from any thread.
void WakeMainThread();

// On the UI thread: waits until `done()` is true, running the work that other
// threads send meanwhile (so a worker blocked in SendToMainThread cannot
// deadlock against the waiter). Returns false when `timeout` passed first.
// On another thread it simply polls `done()`.
bool WaitWhileServingSentWork(const std::function<bool()>& done,
                              std::optional<std::chrono::milliseconds> timeout = std::nullopt);

// Runs the work sent so far (the message loop calls this at every turn).
void ServeSentWork();

namespace display {
class Display;
}
// Framework internal: the application binds its thread and display here when it
// is created, and unbinds (null) when it goes; work still pending then fails
// in its senders instead of blocking them forever.
void BindMainThread(display::Display* display);
