// Wall-clock and processor time of a step, for the benchmarks that time their steps by
// hand. The machine may be shared, so the processor time is the steadier figure.
#pragma once

#include <chrono>
#include <ctime>

namespace quintrel::bench {

inline double CpuNow() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Seconds of one step.
struct TSpan {
  double wall = 0, cpu = 0;
};

class TTimer {
public:
  TTimer() : wall_(std::chrono::steady_clock::now()), cpu_(CpuNow()) {}
  TSpan Elapsed() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(), CpuNow() - cpu_};
  }

private:
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

}  // namespace quintrel::bench
