#pragma once
// The rows lists a module hands to the host from its data calls.
//
// Output rows: one list per calling thread. A host that calls one instance from several
// threads reads the list it was given after the call has returned, while another thread's call
// may already be running; with one list per thread, the list a thread was handed changes only
// with that thread's next data call on the instance, or at UNLOAD. A host that uses one thread
// sees one list, as before.
//
// Every data call leases its thread's list for as long as it runs, so UNLOAD, which frees the
// lists, never frees one that a running call is filling: that list goes when the call ends,
// and the call then hands nothing on. The list of a thread that has ended stays until UNLOAD
// when it holds a record (the host may have passed the pointer on to another thread); an empty
// one goes when new threads arrive. A thread's list is found by its thread id, and the list
// holds a handle of the thread, so no later thread can come by the same id while it exists.

#include "common/fault_cleanup.h"
#include "params/params_list.h"

#include <kvr/plugin_abi.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kvr {

// Clears and frees a list, ignoring failures (a host may have broken it).
void ReleaseQuietly(ParamsListPtr& list);

// A rows list that several calls may hold at once; the last holder frees it.
using SharedRowsList = std::shared_ptr<TkvrParamsList>;
SharedRowsList make_shared_rows_list();

class TThreadRowsLists {
    struct Slot;

  public:
    // Pins the calling thread's list (made on its first use) for one data call. Empty outside
    // LOAD .. UNLOAD. A memory fault that abandons the lease's frame ends it.
    class [[nodiscard]] Lease {
      public:
        explicit Lease(TThreadRowsLists& lists);
        ~Lease() { end(); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        TkvrParamsList* list() const;
        // Ends the lease. When UNLOAD released the lists meanwhile, the list goes now and the
        // record's result is cleared if it names it: nothing may hand it on.
        void end(PPluginCallRec rec = nullptr) noexcept;

      private:
        friend class TThreadRowsLists;
        static void end_after_fault(void* self) { static_cast<Lease*>(self)->end(); }

        TThreadRowsLists& lists_;
        std::shared_ptr<Slot> slot_;
        Lease* outer_; // this thread's lease that was running when this one began
        FaultCleanup fault_cleanup_{&end_after_fault, this};
    };

    TThreadRowsLists();
    ~TThreadRowsLists();
    TThreadRowsLists(const TThreadRowsLists&) = delete;
    TThreadRowsLists& operator=(const TThreadRowsLists&) = delete;

    // From LOAD on, data calls get lists.
    void Prepare();
    // UNLOAD: every list is cleared and freed, each leased one when its call ends.
    void Release();
    // The list the calling thread's running data call has leased; nullptr without a lease.
    TkvrParamsList* ForThisThread() const;
    bool Prepared() const;

  private:
    std::shared_ptr<Slot> slot_for_this_thread();
    void forget_finished_threads();

    mutable std::mutex guard_;
    bool prepared_ = false;
    std::unordered_map<uint32_t, std::shared_ptr<Slot>> lists_;
    // Lists of ended threads that hold a record, kept until UNLOAD.
    std::vector<std::shared_ptr<Slot>> kept_;
    std::size_t prune_at_ = 16;
};

// The one list of an instance that every thread shares (EventRows): made at LOAD, freed at
// UNLOAD, or when a call still holds it then, when that call lets it go.
class TSharedRowsList {
  public:
    void Prepare();
    void Release();
    // The list, or null outside LOAD .. UNLOAD; the holder keeps it alive.
    SharedRowsList Hold() const;
    // Lets go of a held list; answers false when UNLOAD released it meanwhile (it may then go
    // now, and nothing may hand it on).
    bool LetGo(SharedRowsList& held);

  private:
    mutable std::mutex guard_;
    SharedRowsList list_;
};

} // namespace kvr
