#include "line_wait.h"

#include "winapi.h"

#include <algorithm>

namespace lptctl {

namespace {

struct TWantWord {
  const char* Word;
  TWant Want;
};

// The first word of each is the one ConditionText prints.
constexpr TWantWord WantWords[] = {
    {"0", TWant::Low},         {"1", TWant::High},  {"rising", TWant::Rising}, {"falling", TWant::Falling},
    {"change", TWant::Change}, {"low", TWant::Low}, {"high", TWant::High},
};

// Whether the condition is met by this sample, the one before it given for
// edges.
bool MetNow(const TCondition& condition, const TRegisters* before, const TRegisters& now) {
  const bool high = condition.Line->PinHigh(now);
  switch (condition.Want) {
    case TWant::Low: return !high;
    case TWant::High: return high;
    default: break;
  }
  if (!before) return false;
  const bool wasHigh = condition.Line->PinHigh(*before);
  switch (condition.Want) {
    case TWant::Rising: return !wasHigh && high;
    case TWant::Falling: return wasHigh && !high;
    default: return wasHigh != high;
  }
}

}  // namespace

std::optional<TCondition> ParseCondition(std::string_view text, std::string& why) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    why = "'" + std::string(text) + "' is no condition; write LINE=0, 1, rising, falling or change";
    return std::nullopt;
  }
  const std::string_view name = text.substr(0, equals), word = text.substr(equals + 1);
  TCondition condition;
  condition.Line = FindLine(name);
  if (!condition.Line) {
    why = "'" + std::string(name) + "' is no line";
    return std::nullopt;
  }
  for (const TWantWord& want : WantWords)
    if (SameText(word, want.Word)) {
      condition.Want = want.Want;
      return condition;
    }
  why = "'" + std::string(word) + "' is no level or edge; use 0, 1, rising, falling or change";
  return std::nullopt;
}

std::string ConditionText(const TCondition& condition) {
  const auto word = std::find_if(std::begin(WantWords), std::end(WantWords),
                                 [&](const TWantWord& w) { return w.Want == condition.Want; });
  return std::string(condition.Line->Name) + '=' + word->Word;
}

TSampleSource::TNext TPollingSource::Next(std::optional<TClock::time_point> deadline, TSample& sample,
                                          DWORD& error) {
  if (Due_) {
    *Due_ += Interval_;
    const TClock::time_point at = deadline ? std::min(*Due_, *deadline) : *Due_;
    if (Pacer_.WaitUntil(at)) return TNext::Interrupted;
  }
  sample.At = Pacer_.Now();
  if (!Due_ || sample.At - *Due_ >= Interval_) Due_ = sample.At;
  error = Port_.Read(sample.Registers);
  return error == ERROR_SUCCESS ? TNext::Sample : TNext::Failed;
}

TSampleSource::TNext TInterruptSource::Next(std::optional<TClock::time_point> deadline, TSample& sample,
                                            DWORD& error) {
  DWORD count = 0;
  if (!Started_) {
    // Interrupts from before the wait are none of its edges.
    Started_ = true;
    error = Port_.WaitInterrupt(std::chrono::milliseconds(0), count);
  } else {
    auto slice = ReadEvery;
    if (deadline)
      slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(
                                  std::max(*deadline - Pacer_.Now(), TClock::duration::zero())));
    error = Port_.WaitInterrupt(slice, count);
    Interrupts_ += count;
    // A signal ends the driver's sleep; the pacer says whether it was a stop.
    if (error == ERROR_SUCCESS && Pacer_.WaitUntil(Pacer_.Now())) return TNext::Interrupted;
  }
  if (error != ERROR_SUCCESS) return TNext::Failed;
  sample.At = Pacer_.Now();
  error = Port_.Read(sample.Registers);
  return error == ERROR_SUCCESS ? TNext::Sample : TNext::Failed;
}

std::string TInterruptSource::How() const {
  return "the port's interrupt, reading it every " + std::to_string(ReadEvery.count()) + " ms as well";
}

bool WaitsOnInterrupt(std::span<const TCondition> conditions, bool portHasInterrupt) {
  const TLine* ack = FindLine("ACK");
  return portHasInterrupt && !conditions.empty() &&
         std::all_of(conditions.begin(), conditions.end(), [ack](const TCondition& condition) {
           return condition.Line == ack && condition.Want == TWant::Falling;
         });
}

std::string UnmetText(std::span<const TCondition> conditions, const std::vector<bool>& met) {
  std::string text;
  for (std::size_t i = 0; i < conditions.size(); ++i)
    if (!met[i]) text += (text.empty() ? "" : " ") + ConditionText(conditions[i]);
  return text;
}

std::string TPollingSource::How() const {
  if (Interval_.count() == 0) return "polling as fast as it can";
  const auto us = Interval_.count();
  return "polling every " + (us % 1000 ? std::to_string(us) + " us" : std::to_string(us / 1000) + " ms");
}

TWaitResult WaitFor(TSampleSource& source, std::span<const TCondition> conditions, bool any,
                    std::optional<TClock::duration> timeout) {
  TWaitResult result;
  result.Met.assign(conditions.size(), false);
  const TClock::time_point start = source.Now();
  const std::optional<TClock::time_point> deadline = timeout ? std::optional(start + *timeout) : std::nullopt;
  TSample sample, before;
  for (bool first = true;; first = false) {
    switch (source.Next(deadline, sample, result.Error)) {
      case TSampleSource::TNext::Interrupted: result.End = TWaitResult::TEnd::Interrupted; return result;
      case TSampleSource::TNext::Failed: result.End = TWaitResult::TEnd::Failed; return result;
      case TSampleSource::TNext::Sample: break;
    }
    result.Elapsed = sample.At - start;
    result.Registers = sample.Registers;
    std::size_t met = 0;
    for (std::size_t i = 0; i < conditions.size(); ++i) {
      const bool now = MetNow(conditions[i], first ? nullptr : &before.Registers, sample.Registers);
      // An edge stays met once it came; a level only while it holds.
      result.Met[i] = now || (result.Met[i] && conditions[i].IsEdge());
      met += result.Met[i] ? 1 : 0;
    }
    if (any ? met > 0 : met == conditions.size()) {
      result.End = TWaitResult::TEnd::Met;
      return result;
    }
    if (deadline && sample.At >= *deadline) {
      result.End = TWaitResult::TEnd::TimedOut;
      return result;
    }
    before = sample;
  }
}

}  // namespace lptctl
