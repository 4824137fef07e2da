#pragma once
// When a transfer that still moves has failed anyway: a server that drips a byte now and then
// stays under every receive time-out and would hold a run for hours. A transfer whose bytes over
// the last minute average below the floor fails like a stall; so does a run past its deadline.
#include <cstddef>
#include <deque>

class CTransferPace {
public:
    static constexpr long long kFloorBytesPerSecond = 1024;
    static constexpr unsigned long long kWindowMs = 60000;

    // The bytes received so far at `nowMs` (any clock in milliseconds, from the transfer's
    // start or not); samples come in time order, about once a second.
    void Sample(unsigned long long nowMs, long long bytes);
    // True once a whole window has passed with fewer bytes than the floor allows in it.
    bool TooSlow() const;

    // The time a run of `files` downloads of `totalBytes` in all may take at the floor, with a
    // minute for each file's request on top: a run past it has failed, however it trickles.
    static unsigned long long RunBudgetMs(long long totalBytes, std::size_t files);

private:
    struct Point {
        unsigned long long ms;
        long long bytes;
    };
    std::deque<Point> m_points; // the latest sample and those back to one at or before the window
};
