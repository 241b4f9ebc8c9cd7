// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Simulated time. Nothing in the simulator waits for real: sleeps, bus transfers and flash
// operations move this clock forward, so a whole run takes no wall time and the clock at the
// end of it is the run's modeled duration.
//
// Enclosures on their own buses work side by side. A thread that drives one of them while
// others drive theirs takes a timeline of its own: it starts where the machine's clock stands,
// the thread's reads and moves go to it alone, and when it ends the machine's clock moves on to
// the latest of them, as the wall clock would after runs in parallel.

#include <atomic>
#include <cstdint>

namespace q71x::sim {

class VirtualClock {
 public:
  VirtualClock() = default;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  std::uint64_t NowUs() const {
    const Timeline* own = OwnTimeline();
    return own != nullptr ? own->nowUs_ : nowUs_.load();
  }
  std::uint64_t NowMs() const { return NowUs() / 1000; }
  void AdvanceUs(std::uint64_t us) { Set(NowUs() + us); }
  void AdvanceMs(std::uint64_t ms) { AdvanceUs(ms * 1000); }
  // Moves forward to `us`; a time already passed leaves the clock where it is.
  void AdvanceTo(std::uint64_t us) {
    if (us > NowUs()) {
      Set(us);
    }
  }

  // The calling thread's own timeline on `clock` for the life of the scope (one per thread).
  class Timeline {
   public:
    explicit Timeline(VirtualClock& clock) : clock_(clock), nowUs_(clock.NowUs()) {
      previous_ = t_timeline;
      t_timeline = this;
    }
    ~Timeline() {
      t_timeline = previous_;
      std::uint64_t machine = clock_.nowUs_.load();
      while (machine < nowUs_ && !clock_.nowUs_.compare_exchange_weak(machine, nowUs_)) {
      }
    }
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

   private:
    friend class VirtualClock;
    VirtualClock& clock_;
    std::uint64_t nowUs_;
    Timeline* previous_ = nullptr;
  };

 private:
  const Timeline* OwnTimeline() const {
    return t_timeline != nullptr && &t_timeline->clock_ == this ? t_timeline : nullptr;
  }
  void Set(std::uint64_t us) {
    if (t_timeline != nullptr && &t_timeline->clock_ == this) {
      t_timeline->nowUs_ = us;
    } else {
      nowUs_.store(us);
    }
  }

  static inline thread_local Timeline* t_timeline = nullptr;
  std::atomic<std::uint64_t> nowUs_{0};
};

}  // namespace q71x::sim
