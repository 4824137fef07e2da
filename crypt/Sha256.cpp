#include "crypt/Sha256.h"

#include <algorithm>
#include <cstring>

namespace {
#include "crypt/Sha256Tables.inc"

std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
} // namespace

CSha256::CSha256() { Reset(); }

void CSha256::Reset()
{
    for (size_t i = 0; i < m_state.size(); ++i)
        m_state[i] = kInitialHash[i];
    m_blockUsed = 0;
    m_totalBytes = 0;
}

void CSha256::Compress(const unsigned char* block)
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = (std::uint32_t(block[4 * i]) << 24) | (std::uint32_t(block[4 * i + 1]) << 16) |
               (std::uint32_t(block[4 * i + 2]) << 8) | std::uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    std::uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
        const std::uint32_t ch = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + ch + kRoundConstants[i] + w[i];
        const std::uint32_t s0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
        const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = s0 + maj;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    m_state[5] += f;
    m_state[6] += g;
    m_state[7] += h;
}

void CSha256::Update(const void* data, size_t length)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    m_totalBytes += length;
    while (length > 0) {
        const size_t take = std::min(length, m_block.size() - m_blockUsed);
        std::memcpy(m_block.data() + m_blockUsed, p, take);
        m_blockUsed += take;
        p += take;
        length -= take;
        if (m_blockUsed == m_block.size()) {
            Compress(m_block.data());
            m_blockUsed = 0;
        }
    }
}

CSha256::Digest CSha256::Finish()
{
    const std::uint64_t bitLength = m_totalBytes * 8;
    static const unsigned char kPad[64] = {0x80};
    // One 0x80 byte, zeros up to 56 bytes into a block, then the bit length big-endian.
    const size_t padLength = (m_blockUsed < 56) ? 56 - m_blockUsed : 120 - m_blockUsed;
    Update(kPad, padLength);
    unsigned char lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<unsigned char>(bitLength >> (56 - 8 * i));
    Update(lengthBytes, sizeof lengthBytes);

    Digest digest;
    for (size_t i = 0; i < m_state.size(); ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<unsigned char>(m_state[i] >> (24 - 8 * j));
    Reset();
    return digest;
}

CSha256::Digest CSha256::Of(const void* data, size_t length)
{
    CSha256 sha;
    sha.Update(data, length);
    return sha.Finish();
}

std::string CSha256::ToHex(const Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text;
}
