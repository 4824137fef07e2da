#pragma once
// The public half of the maker's release key (ECDSA on the curve P-256): the point's X and Y
// coordinates, big-endian, as CNG imports them.
#include <array>
#include <cstddef>

class CReleaseKey {
public:
    using Coordinate = std::array<unsigned char, 32>;
    static constexpr std::size_t kBytes = 64;

    // From X then Y, 64 bytes. False for any other length.
    static bool FromBytes(const unsigned char* bytes, std::size_t count, CReleaseKey& key);

    const Coordinate& X() const { return m_x; }
    const Coordinate& Y() const { return m_y; }

private:
    Coordinate m_x{};
    Coordinate m_y{};
};

// The key this executable was built with, or nullptr for a build without one. Each executable
// links its own definition, so that a keyed and an unkeyed program share every library.
const CReleaseKey* CompiledReleaseKey();
