#include "kvrhost/core/clock_pacer.h"

#include <algorithm>
#include <cmath>

namespace kvrhost {

ClockPacer::Clock::duration ClockPacer::wait_before(double seconds, Clock::time_point now) const {
    if (!last_stamp_) return Clock::duration::zero();
    const double gap = seconds - *last_stamp_;
    if (!std::isfinite(gap) || gap <= 0) return Clock::duration::zero();
    const auto recorded = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::min(gap, double(kMaxGap.count()))));
    const Clock::duration passed = now - last_sent_;
    return passed >= recorded ? Clock::duration::zero() : recorded - passed;
}

void ClockPacer::sent(double seconds, Clock::time_point at) {
    if (!std::isfinite(seconds)) return;
    last_stamp_ = seconds;
    last_sent_ = at;
}

} // namespace kvrhost
