#include "net/TransferPace.h"

void CTransferPace::Sample(unsigned long long nowMs, long long bytes)
{
    m_points.push_back({nowMs, bytes});
    // Keep one point at or before the window's start, so the average spans a whole window.
    while (m_points.size() >= 2 && m_points[1].ms + kWindowMs <= nowMs) m_points.pop_front();
}

bool CTransferPace::TooSlow() const
{
    if (m_points.size() < 2) return false;
    const Point& first = m_points.front();
    const Point& last = m_points.back();
    if (first.ms + kWindowMs > last.ms) return false; // not a whole window yet
    const unsigned long long spanMs = last.ms - first.ms;
    return static_cast<unsigned long long>(last.bytes - first.bytes) * 1000 <
        static_cast<unsigned long long>(kFloorBytesPerSecond) * spanMs;
}

unsigned long long CTransferPace::RunBudgetMs(long long totalBytes, std::size_t files)
{
    const unsigned long long bytes = totalBytes > 0 ? static_cast<unsigned long long>(totalBytes) : 0;
    return bytes / kFloorBytesPerSecond * 1000 + (bytes % kFloorBytesPerSecond) * 1000 / kFloorBytesPerSecond +
        static_cast<unsigned long long>(files) * kWindowMs;
}
