#pragma once
// SHA-256 digest. Feed data with Update in pieces of any size; Finish returns the digest and
// makes the object ready for a new message. Where the processor has the SHA extensions (x86),
// blocks go through them: downloads are hashed as they arrive, and the portable rounds would
// cost a measurable share of an installation's time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CSha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    enum class Engine { Fastest, Portable };

    explicit CSha256(Engine engine = Engine::Fastest);
    void Update(const void* data, size_t length);
    Digest Finish();

    // One whole message at once.
    static Digest Of(const void* data, size_t length);
    // Lower-case hexadecimal text of a digest.
    static std::string ToHex(const Digest& digest);

private:
    void Reset();
    // `blocks` consecutive 64-byte blocks.
    void Compress(const unsigned char* data, size_t blocks);
    void CompressPortable(const unsigned char* block);

    std::array<std::uint32_t, 8> m_state{};
    std::array<unsigned char, 64> m_block{};
    size_t m_blockUsed = 0;
    std::uint64_t m_totalBytes = 0;
    bool m_useExtensions = false;
};
