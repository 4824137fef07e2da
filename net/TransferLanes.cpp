#include "net/TransferLanes.h"

#include "framework/RunLog.h"
#include "framework/Trace.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Progress need not be faster than the eye.
constexpr DWORD kTickMs = 100;
constexpr std::size_t kIdle = CTransferLanes::kNoFailure;

struct CLane {
    CTransferWatch* watch = nullptr;
    std::size_t index = kIdle; // the transfer it runs
};

} // namespace

bool CTransferLanes::Run(std::size_t count, std::size_t width, const CTransferLimits& limits, const MakeJob& makeJob,
                         const Tick& tick, CTransferWatch& spare, std::size_t& failed)
{
    failed = kNoFailure;
    if (count == 0) return true;
    // A window closed meanwhile starts nothing.
    if (limits.stopEvent && ::WaitForSingleObject(limits.stopEvent, 0) == WAIT_OBJECT_0) {
        failed = 0;
        return false;
    }
    std::vector<std::unique_ptr<CTransferWatch>> owned;
    std::vector<CLane> lanes(std::max<std::size_t>(1, std::min(width, count)));
    lanes[0].watch = &spare;
    for (std::size_t i = 1; i < lanes.size(); ++i) {
        owned.push_back(std::make_unique<CTransferWatch>());
        lanes[i].watch = owned.back().get();
    }

    std::size_t next = 0, finished = 0;
    ULONGLONG lastCheck = ::GetTickCount64();
    std::vector<HANDLE> handles;
    std::vector<CLane*> busy;
    for (;;) {
        // Every idle lane takes the next transfer, until one has failed.
        for (CLane& lane : lanes) {
            if (lane.index != kIdle || failed != kNoFailure || next >= count) continue;
            const std::size_t index = next++;
            CTransferJob job;
            bool started = false;
            try {
                started = makeJob(index, job) && lane.watch->Start(job.fetch, job.sink, job.what);
                if (!started && job.fetch) CRunLog::Write("GET " + job.what + ": failed: no thread for its transfer");
            } catch (...) {
                TraceSwallowedException("starting a transfer"); // fails the transfer
            }
            if (started)
                lane.index = index;
            else
                failed = index;
        }
        busy.clear();
        handles.clear();
        for (CLane& lane : lanes)
            if (lane.index != kIdle) {
                busy.push_back(&lane);
                handles.push_back(lane.watch->Done());
            }
        if (busy.empty()) break;
        if (limits.stopEvent) handles.push_back(limits.stopEvent);

        const DWORD woken =
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, kTickMs);
        const char* haltReason = nullptr; // why every running transfer is given up
        auto collect = [&](CLane& lane) {
            if (lane.watch->Result() != 0)
                ++finished;
            else if (failed == kNoFailure)
                failed = lane.index;
            lane.index = kIdle;
        };
        if (woken >= WAIT_OBJECT_0 && woken < WAIT_OBJECT_0 + busy.size())
            collect(*busy[woken - WAIT_OBJECT_0]);
        else if (woken != WAIT_TIMEOUT)
            haltReason = "stopped"; // the window closed, or the wait broke

        const ULONGLONG now = ::GetTickCount64();
        if (!haltReason && now - lastCheck >= CTransferWatch::kSampleMs) {
            lastCheck = now;
            for (CLane* lane : busy) {
                if (lane->index == kIdle) continue;
                if (const char* reason = lane->watch->Check(now, limits)) {
                    lane->watch->GiveUp(reason);
                    lane->watch->EndGivenUp(CTransferWatch::kEndWaitMs);
                    if (failed == kNoFailure) failed = lane->index;
                    lane->index = kIdle;
                }
            }
        }
        if (failed != kNoFailure && !haltReason) haltReason = "stopped"; // the first failure halts the rest
        if (haltReason) {
            // What has ended meanwhile counts as it ended; the rest are given up all at once,
            // then waited for together, bounded.
            for (CLane& lane : lanes)
                if (lane.index != kIdle && ::WaitForSingleObject(lane.watch->Done(), 0) == WAIT_OBJECT_0) collect(lane);
            for (CLane& lane : lanes)
                if (lane.index != kIdle) lane.watch->GiveUp(haltReason);
            const ULONGLONG until = ::GetTickCount64() + CTransferWatch::kEndWaitMs;
            for (CLane& lane : lanes) {
                if (lane.index == kIdle) continue;
                const ULONGLONG at = ::GetTickCount64();
                lane.watch->EndGivenUp(at < until ? static_cast<unsigned long>(until - at) : 0);
                if (failed == kNoFailure) failed = lane.index;
                lane.index = kIdle;
            }
        }
        if (tick) tick(finished);
    }
    if (tick) tick(finished);
    return failed == kNoFailure;
}
