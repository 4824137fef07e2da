#include "crypt/Blowfish.h"

#include <cstring>

namespace {
#include "crypt/BlowfishTables.inc"

std::uint32_t LoadBigEndian(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

void StoreBigEndian(std::uint32_t v, unsigned char* p)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}
} // namespace

CBlowfish::CBlowfish() = default;

std::uint32_t CBlowfish::F(std::uint32_t x) const
{
    return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xff]) ^ m_s[2][(x >> 8) & 0xff]) + m_s[3][x & 0xff];
}

void CBlowfish::EncryptWords(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i + 1];
        l ^= F(r);
    }
    left = r ^ m_p[17];
    right = l ^ m_p[16];
}

void CBlowfish::DecryptWords(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= m_p[i];
        r ^= F(l);
        r ^= m_p[i - 1];
        l ^= F(r);
    }
    left = r ^ m_p[0];
    right = l ^ m_p[1];
}

bool CBlowfish::Initialize(const unsigned char* key, size_t keyLength, const unsigned char chain[8], int chainMode,
                           int paddingMode)
{
    m_initialized = false;
    if (key == nullptr || chain == nullptr || keyLength == 0 || keyLength > MAX_KEY_LENGTH) return false;
    if (chainMode != CHAIN_ECB && chainMode != CHAIN_CBC) return false;
    if (paddingMode != PADDING_NONE && paddingMode != PADDING_PKCS7) return false;

    for (size_t i = 0; i < m_p.size(); ++i) m_p[i] = kInitialP[i];
    for (size_t b = 0; b < m_s.size(); ++b)
        for (size_t i = 0; i < 256; ++i) m_s[b][i] = kInitialS[b][i];

    // The key, repeated cyclically, is folded into the P-array...
    size_t k = 0;
    for (auto& p : m_p) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[k];
            k = (k + 1) % keyLength;
        }
        p ^= word;
    }
    // ...then every table entry is replaced by the running encryption of an all-zero block.
    std::uint32_t l = 0, r = 0;
    for (size_t i = 0; i < m_p.size(); i += 2) {
        EncryptWords(l, r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (auto& box : m_s) {
        for (size_t i = 0; i < box.size(); i += 2) {
            EncryptWords(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }

    std::memcpy(m_chain.data(), chain, BLOCK_SIZE);
    m_chainMode = chainMode;
    m_paddingMode = paddingMode;
    m_initialized = true;
    return true;
}

void CBlowfish::EncryptBlock(unsigned char block[BLOCK_SIZE]) const
{
    std::uint32_t l = LoadBigEndian(block), r = LoadBigEndian(block + 4);
    EncryptWords(l, r);
    StoreBigEndian(l, block);
    StoreBigEndian(r, block + 4);
}

void CBlowfish::DecryptBlock(unsigned char block[BLOCK_SIZE]) const
{
    std::uint32_t l = LoadBigEndian(block), r = LoadBigEndian(block + 4);
    DecryptWords(l, r);
    StoreBigEndian(l, block);
    StoreBigEndian(r, block + 4);
}

bool CBlowfish::Encrypt(const unsigned char* data, size_t length, std::vector<unsigned char>& out) const
{
    if (!m_initialized || (data == nullptr && length != 0)) return false;
    if (m_paddingMode == PADDING_NONE && length % BLOCK_SIZE != 0) return false;

    out.assign(data, data + length);
    if (m_paddingMode == PADDING_PKCS7) {
        const size_t pad = BLOCK_SIZE - length % BLOCK_SIZE;
        out.insert(out.end(), pad, static_cast<unsigned char>(pad));
    }

    std::array<unsigned char, BLOCK_SIZE> previous = m_chain;
    for (size_t at = 0; at < out.size(); at += BLOCK_SIZE) {
        unsigned char* block = out.data() + at;
        if (m_chainMode == CHAIN_CBC)
            for (size_t i = 0; i < BLOCK_SIZE; ++i) block[i] ^= previous[i];
        EncryptBlock(block);
        std::memcpy(previous.data(), block, BLOCK_SIZE);
    }
    return true;
}

bool CBlowfish::Decrypt(const unsigned char* data, size_t length, std::vector<unsigned char>& out) const
{
    out.clear();
    if (!m_initialized || (data == nullptr && length != 0) || length % BLOCK_SIZE != 0) return false;
    // Padding always adds at least one byte, so padded ciphertext is never empty.
    if (m_paddingMode == PADDING_PKCS7 && length == 0) return false;

    std::vector<unsigned char> plain(data, data + length);
    std::array<unsigned char, BLOCK_SIZE> previous = m_chain;
    for (size_t at = 0; at < plain.size(); at += BLOCK_SIZE) {
        unsigned char* block = plain.data() + at;
        std::array<unsigned char, BLOCK_SIZE> cipherBlock;
        std::memcpy(cipherBlock.data(), block, BLOCK_SIZE);
        DecryptBlock(block);
        if (m_chainMode == CHAIN_CBC)
            for (size_t i = 0; i < BLOCK_SIZE; ++i) block[i] ^= previous[i];
        previous = cipherBlock;
    }

    if (m_paddingMode == PADDING_PKCS7) {
        const size_t pad = plain.back();
        if (pad == 0 || pad > BLOCK_SIZE) return false;
        for (size_t i = plain.size() - pad; i < plain.size(); ++i)
            if (plain[i] != pad) return false;
        plain.resize(plain.size() - pad);
    }
    out = std::move(plain);
    return true;
}
