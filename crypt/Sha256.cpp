#include "crypt/Sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define NUVRA_SHA_EXTENSIONS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {
#include "crypt/Sha256Tables.inc"

std::uint32_t Rotr(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

#ifdef NUVRA_SHA_EXTENSIONS
bool HasShaExtensions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0, sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & (1u << 29)) != 0; // leaf 7, EBX bit 29: SHA
}

// The rounds with SHA256RNDS2 and the schedule with SHA256MSG1/MSG2. The state is kept as the
// instructions want it: one register with A, B, E, F and one with C, D, G, H.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithExtensions(std::uint32_t* state, const unsigned char* data,
                                                                        size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4]; // the schedule, four words at a time, reused round-robin
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i& current = w[i & 3];
            if (i < 4)
                current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            __m128i words =
                _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            if (i >= 3 && i <= 14) { // the next four words, from the last sixteen
                __m128i& next = w[(i + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, w[(i - 1) & 3], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            words = _mm_shuffle_epi32(words, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
            if (i >= 1 && i <= 12) w[(i - 1) & 3] = _mm_sha256msg1_epu32(w[(i - 1) & 3], current);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

} // namespace

CSha256::CSha256(Engine engine)
{
#ifdef NUVRA_SHA_EXTENSIONS
    static const bool extensions = HasShaExtensions();
    m_useExtensions = engine == Engine::Fastest && extensions;
#else
    (void)engine;
#endif
    Reset();
}

void CSha256::Compress(const unsigned char* data, size_t blocks)
{
#ifdef NUVRA_SHA_EXTENSIONS
    if (m_useExtensions) {
        CompressWithExtensions(m_state.data(), data, blocks);
        return;
    }
#endif
    for (; blocks > 0; --blocks, data += 64) CompressPortable(data);
}

void CSha256::Reset()
{
    for (size_t i = 0; i < m_state.size(); ++i) m_state[i] = kInitialHash[i];
    m_blockUsed = 0;
    m_totalBytes = 0;
}

void CSha256::CompressPortable(const unsigned char* block)
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
    // Whole blocks straight from the caller's buffer when none is pending.
    if (m_blockUsed == 0 && length >= m_block.size()) {
        const size_t blocks = length / m_block.size();
        Compress(p, blocks);
        p += blocks * m_block.size();
        length -= blocks * m_block.size();
    }
    while (length > 0) {
        const size_t take = std::min(length, m_block.size() - m_blockUsed);
        std::memcpy(m_block.data() + m_blockUsed, p, take);
        m_blockUsed += take;
        p += take;
        length -= take;
        if (m_blockUsed == m_block.size()) {
            Compress(m_block.data(), 1);
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
    for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<unsigned char>(bitLength >> (56 - 8 * i));
    Update(lengthBytes, sizeof lengthBytes);

    Digest digest;
    for (size_t i = 0; i < m_state.size(); ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<unsigned char>(m_state[i] >> (24 - 8 * j));
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
