// Wall-clock time of a piece of work, in milliseconds.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double ms() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// The median of the times (0 for none): one slow repetition, another
// program's build taking the core, does not move it.
inline double median(std::vector<double> times) {
  if (times.empty()) return 0;
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

}  // namespace bench
