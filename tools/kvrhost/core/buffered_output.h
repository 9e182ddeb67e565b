#pragma once
// An output stream that gathers what is written and passes it to its target in large blocks,
// so that a record costs no write of its own. It passes everything on (and flushes the
// target) when it is flushed, when it is destroyed, when a block is full, and from
// flush_if_due once the interval has passed since the last flush.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <vector>

namespace kvrhost {

class BufferedOutput final : private std::streambuf, public std::ostream {
  public:
    using Clock = std::chrono::steady_clock;

    explicit BufferedOutput(std::ostream& target, std::size_t block_bytes = std::size_t(1) << 16,
                            Clock::duration interval = std::chrono::milliseconds(100));
    ~BufferedOutput() override;
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    // Flushes when something waits and `interval` has passed since the last flush.
    void flush_if_due(Clock::time_point now);

  private:
    std::streambuf::int_type overflow(std::streambuf::int_type c) override;
    int sync() override;
    void pass_on();

    std::ostream& target_;
    std::vector<char> block_;
    Clock::duration interval_;
    Clock::time_point last_flush_;
};

} // namespace kvrhost
