#pragma once
// Runs a list of transfers a few at a time: each lane is a thread of its own with its own
// CTransferWatch, so every transfer keeps the stop event, the rate floor and the run's deadline
// of a single one. The calling thread only watches: it hands the stop event on to the lanes,
// reports progress and waits for them. The first transfer that fails halts the others, and no
// new one starts after it.
#include "net/TransferWatch.h"

#include <cstddef>
#include <functional>

class CTransferLanes {
public:
    // One transfer of the list, run on a lane with that lane's watch and the limits to run it
    // under (their stop event also halts the batch). True when it succeeded.
    using Transfer = std::function<bool(std::size_t index, CTransferWatch& watch, const CTransferLimits& limits)>;
    // Called on the calling thread about ten times a second while transfers run, and once more
    // when all have ended.
    using Tick = std::function<void()>;

    static constexpr std::size_t kNoFailure = static_cast<std::size_t>(-1);

    // Runs transfers 0 .. count-1 in list order on up to `width` lanes. True when every one
    // succeeded. Otherwise `failed` names the first that failed (a transfer given up because the
    // batch halted counts only when none failed before it); the others have ended by then.
    static bool Run(std::size_t count, std::size_t width, const CTransferLimits& limits, const Transfer& transfer,
                    const Tick& tick, std::size_t& failed);
};
