#include "kvrhost/core/buffered_output.h"

namespace kvrhost {

BufferedOutput::BufferedOutput(std::ostream& target, std::size_t block_bytes,
                               Clock::duration interval)
    : std::ostream(static_cast<std::streambuf*>(this)), target_(target),
      block_(block_bytes > 0 ? block_bytes : 1), interval_(interval), last_flush_(Clock::now()) {
    setp(block_.data(), block_.data() + block_.size());
}

BufferedOutput::~BufferedOutput() {
    try {
        sync();
    } catch (...) {
        // The target failed: nothing more can be written.
    }
}

void BufferedOutput::pass_on() {
    if (pptr() > pbase()) target_.write(pbase(), pptr() - pbase());
    setp(block_.data(), block_.data() + block_.size());
}

std::streambuf::int_type BufferedOutput::overflow(std::streambuf::int_type c) {
    using traits = std::streambuf::traits_type;
    pass_on();
    if (!traits::eq_int_type(c, traits::eof())) {
        *pptr() = traits::to_char_type(c);
        pbump(1);
    }
    return target_ ? traits::not_eof(c) : traits::eof();
}

int BufferedOutput::sync() {
    pass_on();
    target_.flush();
    last_flush_ = Clock::now();
    return target_ ? 0 : -1;
}

void BufferedOutput::flush_if_due(Clock::time_point now) {
    if (pptr() > pbase() && now - last_flush_ >= interval_) flush();
}

} // namespace kvrhost
