#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "display.h"
#include "extctrls.h"
#include "forms.h"
#include "process_info.h"
#include "sysutils.h"
#include "threads.h"

TApplication* Application = nullptr;

namespace {

std::string MessageOf(const std::exception& e) {
  if (auto* ex = dynamic_cast<const Exception*>(&e)) return ex->Message();
  return e.what();
}

}  // namespace

TApplication::TApplication(std::unique_ptr<display::Display> display)
    : TComponent(nullptr), Display_(std::move(display)), Title_(platform::ProgramName()) {
  if (!Display_) Display_ = display::CreateDefaultDisplay();
  Application = this;
  BindMainThread(Display_.get());
  Display_->SetLoopWork([this] { RunDueWork(); });
}

TApplication::~TApplication() {
  // Marked first: widgets stop serving flash ticks once the application is going.
  BeforeDestruction();
  // Forms (and anything else owned) go last created first, while the display lives.
  while (!Components().empty()) Free(Components().back());
  Display_->SetLoopWork(nullptr);
  BindMainThread(nullptr);
  if (Application == this) Application = nullptr;
}

std::chrono::steady_clock::time_point TApplication::Now() const { return Display_->Now(); }

void TApplication::RegisterForm(TCustomForm* form) { Forms_.push_back(form); }

void TApplication::UnregisterForm(TCustomForm* form) {
  std::erase(Forms_, form);
  std::erase(ModalForms_, form);
  if (MainForm_ == form) MainForm_ = nullptr;
}

void TApplication::Run() {
  if (Terminated_) return;
  if (MainForm_) MainForm_->Show();
  while (!Terminated_) {
    HandleMessage();
    if (!MainForm_ || !MainForm_->Showing()) break;
  }
}

void TApplication::Terminate() {
  Terminated_ = true;
  Display_->Wake();
}

TApplication::TModalScope::TModalScope(TCustomForm* form) : Form_(form) {
  if (!Application) return;
  for (TCustomForm* f : Application->Forms_) {
    if (f != form) f->CancelMouseMode();
  }
  Application->ModalForms_.push_back(form);
}

TApplication::TModalScope::~TModalScope() {
  if (Application) std::erase(Application->ModalForms_, Form_);
}

void TApplication::RequestClose() {
  const std::vector<TCustomForm*> modal = ModalForms_;
  for (auto it = modal.rbegin(); it != modal.rend(); ++it) {
    if (std::find(Forms_.begin(), Forms_.end(), *it) != Forms_.end()) SafeCall([f = *it] { f->Close(); });
  }
  if (MainForm_) SafeCall([this] { MainForm_->Close(); });
  // A close handler may keep the form open for its user; a termination request ends the loop all the same.
  Terminate();
}

void TApplication::ProcessMessages() {
  ServeSentWork();
  Display_->WaitEvents(std::chrono::nanoseconds(0));
  RunDueWork();
}

void TApplication::RunDueWork() {
  ServeSentWork();
  FireDueTimers();
  PaintAll();
}

void TApplication::Turn(std::optional<std::chrono::steady_clock::duration> limit) {
  RunDueWork();
  if (Terminated_) return;
  std::optional<std::chrono::steady_clock::duration> wait = TimeToNextTimer();
  if (limit && (!wait || *limit < *wait)) wait = limit;
  if (wait && *wait < std::chrono::steady_clock::duration::zero()) wait = std::chrono::nanoseconds(0);
  if (wait)
    Display_->WaitEvents(std::chrono::duration_cast<std::chrono::nanoseconds>(*wait));
  else
    Display_->WaitEvents(std::nullopt);
  RunDueWork();
}

void TApplication::HandleMessage() { Turn(std::nullopt); }

void TApplication::RunFor(std::chrono::milliseconds duration) {
  const auto end = Now() + duration;
  while (!Terminated_) {
    const auto now = Now();
    if (now >= end) break;
    Turn(end - now);
  }
}

void TApplication::PaintAll() {
  const std::vector<TCustomForm*> forms = Forms_;
  for (TCustomForm* f : forms) {
    if (std::find(Forms_.begin(), Forms_.end(), f) != Forms_.end()) f->UpdateAndPresent();
  }
}

void TApplication::FireDueTimers() {
  const std::vector<TTimer*> timers = Timers_;
  for (TTimer* t : timers) {
    if (std::find(Timers_.begin(), Timers_.end(), t) == Timers_.end()) continue;
    if (!t->Enabled_ || t->Interval_ == 0 || t->Firing_) continue;
    const auto now = Now();
    if (now < t->Due_) continue;
    // A late tick merges with the ones it missed: the next is due a full interval from now.
    t->Due_ = now + std::chrono::milliseconds(t->Interval_);
    t->Firing_ = true;
    SafeCall([t] {
      if (t->OnTimer) t->OnTimer(t);
    });
    if (std::find(Timers_.begin(), Timers_.end(), t) != Timers_.end()) t->Firing_ = false;
  }
}

std::optional<std::chrono::steady_clock::duration> TApplication::TimeToNextTimer() const {
  std::optional<std::chrono::steady_clock::time_point> next;
  for (const TTimer* t : Timers_) {
    if (!t->Enabled_ || t->Interval_ == 0 || t->Firing_) continue;
    if (!next || t->Due_ < *next) next = t->Due_;
  }
  if (!next) return std::nullopt;
  return *next - Display_->Now();
}

void TApplication::HandleException(const std::exception& e) {
  try {
    if (OnException) {
      OnException(this, e);
      return;
    }
    std::string text = MessageOf(e);
    if (!text.empty() && text.back() != '.') text += '.';
    MessageBox(text, Title_, MB_OK | MB_ICONERROR);
  } catch (const std::exception& nested) {
    // Reporting failed too; the loop must go on all the same.
    std::fprintf(stderr, "%s: %s (while reporting: %s)\n", Title_.c_str(), nested.what(), e.what());
  }
}

void TApplication::SafeCall(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(Exception("Unknown exception"));
  }
}
