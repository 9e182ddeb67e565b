#include "common/fault_cleanup.h"

namespace kvr {

// The newest registration at the head, and the registration counter.
struct FaultCleanup::Chain {
    FaultCleanup* newest = nullptr;
    std::uint64_t serial = 0;
};

namespace {
thread_local FaultCleanup::Chain t_chain;
} // namespace

FaultCleanup::FaultCleanup(Action action, void* subject) noexcept
    : action_(action), subject_(subject), chain_(&t_chain) {
    serial_ = ++chain_->serial;
    older_ = chain_->newest;
    if (older_) older_->newer_ = this;
    chain_->newest = this;
}

FaultCleanup::~FaultCleanup() {
    unlink();
}

// Cleanups usually go newest first, but a moved lock guard may leave out of order.
void FaultCleanup::unlink() noexcept {
    if (newer_)
        newer_->older_ = older_;
    else if (chain_->newest == this)
        chain_->newest = older_;
    if (older_) older_->newer_ = newer_;
    older_ = newer_ = nullptr;
    action_ = nullptr;
}

std::uint64_t FaultCleanupMark() noexcept {
    return t_chain.serial;
}

void RunFaultCleanupsSince(std::uint64_t mark) noexcept {
    FaultCleanup::Chain& chain = t_chain;
    while (chain.newest && chain.newest->serial_ > mark) {
        FaultCleanup* const cleanup = chain.newest;
        const FaultCleanup::Action action = cleanup->action_;
        void* const subject = cleanup->subject_;
        cleanup->unlink();
        if (action) action(subject);
    }
}

} // namespace kvr
