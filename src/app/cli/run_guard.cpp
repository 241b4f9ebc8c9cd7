// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/run_guard.h"

#include <atomic>
#include <csignal>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace q71x::cli {
namespace {

// Read by the handlers, so lock-free (the only kind a signal handler may touch); on Windows the
// console handler runs on a thread of its own.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> guardDepth{0};
std::atomic<int> heldNumber{0};
std::atomic<bool> noticeGiven{false};
std::function<void(const HeldStop&)> notice;

constexpr int kHangUp = 1;
constexpr int kInterrupt = 2;
constexpr int kTerminate = 15;

HeldStop StopOf(int number) {
  switch (number) {
    case kHangUp:
      return {number, "SIGHUP"};
    case kInterrupt:
      return {number, "SIGINT"};
    default:
      return {kTerminate, "SIGTERM"};
  }
}

// Keeps the first request: it is the one the operator is told about.
void Hold(int number) {
  int none = 0;
  heldNumber.compare_exchange_strong(none, number);
}

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool closing =
      event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  if (guardDepth.load() == 0) {
    return FALSE;  // the default handler ends the process, as before
  }
  Hold(closing ? kHangUp : kInterrupt);
  if (!closing) {
    return TRUE;  // Ctrl-C and Ctrl-Break are simply held
  }
  // The system ends the process once this handler returns, and on its own after a few seconds
  // (about 5 for a closed console, a little more at logoff and shutdown) whatever the handler
  // does: the run gets that long to finish. Nothing can buy it more. Returning when the run
  // ends would end the process there, before the simulated memories and the outcome are
  // written: the handler never returns, and the program ends on its own with the held code, as
  // after a hang-up elsewhere (its exit ends this thread too).
  for (;;) {
    ::Sleep(INFINITE);
  }
}

#else

extern "C" void OnStopSignal(int number) {
  if (guardDepth.load() > 0) {
    Hold(number == SIGHUP ? kHangUp : number == SIGINT ? kInterrupt : kTerminate);
    return;
  }
  // Outside a guarded run the signal does what it always did. It is blocked while this handler
  // runs, so it is delivered, with its default action, as the handler returns.
  std::signal(number, SIG_DFL);
  std::raise(number);
}

#endif

}  // namespace

void InstallRunGuard() {
#ifdef _WIN32
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes start again rather than fail: the run goes on untouched.
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal the parent set to be ignored (nohup) stays ignored.
    if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(number, &action, nullptr);
  }
#endif
}

GuardedRun::GuardedRun() {
  guardDepth.fetch_add(1);
}

GuardedRun::~GuardedRun() {
  // Said before the stop, if no command of the run came after the request to say it.
  PollHeldStop();
  guardDepth.fetch_sub(1);
}

std::optional<HeldStop> HeldStopRequest() {
  const int number = heldNumber.load();
  if (number == 0) {
    return std::nullopt;
  }
  return StopOf(number);
}

RunScopes GuardedRunScopes() {
  struct GuardedScope final : RunScope {
    GuardedRun Guard;
  };
  RunScopes scopes;
  scopes.EnterChangingRun = [] {
    return std::unique_ptr<RunScope>(std::make_unique<GuardedScope>());
  };
  scopes.StopRequested = [] { return HeldStopRequest().has_value(); };
  return scopes;
}

HeldStopNotice::HeldStopNotice(std::function<void(const HeldStop&)> tell) {
  notice = std::move(tell);
}

HeldStopNotice::~HeldStopNotice() {
  notice = nullptr;
}

void PollHeldStop() {
  // The devices of one command line poll from threads of their own: one of them tells.
  if (noticeGiven.load() || !notice) {
    return;
  }
  if (const std::optional<HeldStop> stop = HeldStopRequest()) {
    if (!noticeGiven.exchange(true)) {
      notice(*stop);
    }
  }
}

}  // namespace q71x::cli
