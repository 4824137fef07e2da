#pragma once
// Runs a list of transfers a few at a time. Each lane is a CTransferWatch, whose thread runs one
// transfer after another; the calling thread watches them all (the stop event, each transfer's
// rate floor, the run's deadline), starts the next transfer in list order wherever one ended,
// and reports progress. Threads are few on purpose: under Wine each one costs about a megabyte.
// The first transfer that fails halts the others, and no new one starts after it.
#include "net/TransferWatch.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CFileSink;

// One transfer of the list: what runs on a lane's thread (it must own what it uses, see
// CTransferWatch; non-zero when it succeeded), the sink whose bytes are watched, and the name
// the log gives it.
struct CTransferJob {
    std::function<int()> fetch;
    std::shared_ptr<CFileSink> sink;
    std::string what;
};

class CTransferLanes {
public:
    // Fills in transfer `index`; false when it cannot be started (it has logged why), which
    // fails it.
    using MakeJob = std::function<bool(std::size_t index, CTransferJob& job)>;
    // Called on the calling thread about ten times a second while transfers run, and once more
    // when all have ended, with the count of those that succeeded.
    using Tick = std::function<void(std::size_t finished)>;

    static constexpr std::size_t kNoFailure = static_cast<std::size_t>(-1);

    // Runs transfers 0 .. count-1 in list order on up to `width` lanes; the first lane is
    // `spare`, a watch of the caller's whose thread is idle. True when every one succeeded.
    // Otherwise `failed` names the first that failed or was given up; the others have ended,
    // or were left to end on their own as CTransferWatch leaves one, by then.
    static bool Run(std::size_t count, std::size_t width, const CTransferLimits& limits, const MakeJob& makeJob,
                    const Tick& tick, CTransferWatch& spare, std::size_t& failed);
};
