#pragma once
// The rows lists a module hands to the host from its data calls, one per calling thread.
//
// A host that calls one instance from several threads reads the list it was given after the
// call has returned, while another thread's call may already be running. With one list per
// thread, the list a thread was given changes only with that thread's next data call on the
// instance, or at UNLOAD. A host that uses one thread sees one list, as before.

#include "params/params_list.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace kvr {

// Clears and frees a list, ignoring failures (a host may have broken it).
void ReleaseQuietly(ParamsListPtr& list);

class TThreadRowsLists {
  public:
    // From LOAD on, data calls get lists.
    void Prepare();
    // UNLOAD: every list is cleared and freed; errors are ignored.
    void Release();
    // The calling thread's list, made on its first use; nullptr outside LOAD .. UNLOAD.
    TkvrParamsList* ForThisThread();
    bool Prepared() const;

  private:
    void forget_finished_threads();

    mutable std::mutex guard_;
    bool prepared_ = false;
    std::unordered_map<uint32_t, ParamsListPtr> lists_;
    std::size_t prune_at_ = 16;
};

} // namespace kvr
