#include "net/TransferLanes.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/Trace.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// Progress need not be faster than the eye.
constexpr DWORD kTickMs = 100;

// What the lanes share with the thread that watches them.
struct CBatch {
    CBatch(std::size_t count_, const CTransferLimits& limits_, const CTransferLanes::Transfer& transfer_)
        : count(count_), transfer(transfer_)
    {
        limits.stopEvent = halt.get();
        limits.deadlineTick = limits_.deadlineTick;
    }

    const std::size_t count;
    const CTransferLanes::Transfer& transfer;
    CHandle halt{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};   // manual reset: every lane stops
    CHandle ended{::CreateEventA(nullptr, FALSE, FALSE, nullptr)}; // a lane has ended
    CTransferLimits limits;                                        // the lanes': halted by `halt`
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{CTransferLanes::kNoFailure};
    std::atomic<std::size_t> running{0};

    bool Halted() const { return ::WaitForSingleObject(halt.get(), 0) == WAIT_OBJECT_0; }

    void Lane()
    {
        CTransferWatch watch; // this lane's own: one transfer at a time, watched apart from the rest
        while (!Halted()) {
            const std::size_t index = next++;
            if (index >= count) break;
            bool ok = false;
            try {
                ok = transfer(index, watch, limits);
            } catch (...) {
                TraceSwallowedException("a transfer lane"); // counts as a failed transfer
            }
            if (!ok) {
                std::size_t none = CTransferLanes::kNoFailure;
                failed.compare_exchange_strong(none, index);
                ::SetEvent(halt.get());
                break;
            }
        }
    }
};

} // namespace

bool CTransferLanes::Run(std::size_t count, std::size_t width, const CTransferLimits& limits, const Transfer& transfer,
                         const Tick& tick, std::size_t& failed)
{
    failed = kNoFailure;
    if (count == 0) return true;
    // A window closed meanwhile starts nothing.
    if (limits.stopEvent && ::WaitForSingleObject(limits.stopEvent, 0) == WAIT_OBJECT_0) {
        failed = 0;
        return false;
    }
    CBatch batch(count, limits, transfer);
    if (!batch.halt || !batch.ended) {
        CRunLog::Write("no transfer could be started: no event for the transfer lanes");
        failed = 0;
        return false;
    }
    std::vector<std::thread> lanes;
    const std::size_t wanted = std::max<std::size_t>(1, std::min(width, count));
    for (std::size_t i = 0; i < wanted; ++i) {
        ++batch.running;
        try {
            lanes.emplace_back([&batch] {
                batch.Lane();
                --batch.running;
                ::SetEvent(batch.ended.get());
            });
        } catch (...) {
            // Fewer lanes only make the batch slower; none at all fails it below.
            --batch.running;
            TraceSwallowedException("starting a transfer lane");
        }
    }
    if (lanes.empty()) {
        CRunLog::Write("no transfer could be started: no thread for a transfer lane");
        failed = 0;
        return false;
    }

    const HANDLE handles[2] = {batch.ended.get(), limits.stopEvent};
    const DWORD handleCount = limits.stopEvent ? 2 : 1;
    while (batch.running > 0) {
        const DWORD woken = ::WaitForMultipleObjects(handleCount, handles, FALSE, kTickMs);
        if (woken == WAIT_OBJECT_0 + 1 || woken == WAIT_FAILED) {
            // The window closed (or the wait broke): every lane's watch gives its transfer up.
            ::SetEvent(batch.halt.get());
            if (woken == WAIT_FAILED) ::Sleep(kTickMs); // no busy loop on a broken wait
        }
        if (tick) tick();
    }
    for (std::thread& lane : lanes) lane.join();
    if (tick) tick();
    failed = batch.failed;
    if (failed == kNoFailure && batch.next.load() < count) failed = std::min(batch.next.load(), count - 1);
    return failed == kNoFailure;
}
