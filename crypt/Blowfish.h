#pragma once
// Blowfish (64-bit blocks, keys of 1 to 56 bytes) with a chaining mode and a padding mode.
//
// Chaining modes:  0 = ECB, every block on its own
//                  1 = CBC, each plaintext block is XORed with the previous ciphertext block;
//                      the first with the 8-byte chaining block given to Initialize
// Padding modes:   0 = none, the data length must be a multiple of 8
//                  2 = PKCS#7 style: 1 to 8 bytes, each holding the pad length, are always
//                      appended, so any length (0 included) round-trips exactly
// Other values are refused by Initialize. Every Encrypt/Decrypt call starts again from the
// chaining block, so messages are independent of each other.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class CBlowfish {
public:
    static constexpr int CHAIN_ECB = 0;
    static constexpr int CHAIN_CBC = 1;
    static constexpr int PADDING_NONE = 0;
    static constexpr int PADDING_PKCS7 = 2;
    static constexpr size_t BLOCK_SIZE = 8;
    static constexpr size_t MAX_KEY_LENGTH = 56;

    CBlowfish();

    // False, leaving the object unusable, for a key outside 1..56 bytes, a missing chaining
    // block or an unknown mode.
    bool Initialize(const unsigned char* key, size_t keyLength, const unsigned char chain[8], int chainMode,
                    int paddingMode);
    bool IsInitialized() const { return m_initialized; }

    // One block in place, without chaining; the object must be initialised.
    void EncryptBlock(unsigned char block[BLOCK_SIZE]) const;
    void DecryptBlock(unsigned char block[BLOCK_SIZE]) const;

    // Whole messages in the modes chosen at Initialize. False when the object is not
    // initialised, when the length does not fit the mode, or (Decrypt) when the padding is bad.
    bool Encrypt(const unsigned char* data, size_t length, std::vector<unsigned char>& out) const;
    bool Decrypt(const unsigned char* data, size_t length, std::vector<unsigned char>& out) const;

private:
    std::uint32_t F(std::uint32_t x) const;
    void EncryptWords(std::uint32_t& left, std::uint32_t& right) const;
    void DecryptWords(std::uint32_t& left, std::uint32_t& right) const;

    std::array<std::uint32_t, 18> m_p{};
    std::array<std::array<std::uint32_t, 256>, 4> m_s{};
    std::array<unsigned char, BLOCK_SIZE> m_chain{};
    int m_chainMode = CHAIN_ECB;
    int m_paddingMode = PADDING_NONE;
    bool m_initialized = false;
};
