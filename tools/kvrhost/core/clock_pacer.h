#pragma once
// Replays recorded packets at their recorded pace: before each packet the host waits so that
// the real time since the previous packet was sent equals the difference of their timestamps,
// so that time-outs in a module behave as they did when the data were recorded.

#include <chrono>
#include <optional>

namespace kvrhost {

class ClockPacer {
  public:
    using Clock = std::chrono::steady_clock;
    // Longest pause replayed between two packets; longer recorded gaps are cut to it.
    static constexpr std::chrono::seconds kMaxGap{60};

    // How long to wait, from now, before sending a packet stamped at `seconds`: the recorded gap
    // to the previous stamped packet (cut to kMaxGap; none when the stamps go backwards or are
    // not finite) less the time since that packet was sent. Zero for the first stamped packet.
    Clock::duration wait_before(double seconds, Clock::time_point now) const;

    // Notes that the packet stamped at `seconds` was sent at `at`.
    void sent(double seconds, Clock::time_point at);

  private:
    std::optional<double> last_stamp_;
    Clock::time_point last_sent_{};
};

} // namespace kvrhost
