#include "tests/e2e/TestListSigner.h"

#include "crypt/HexText.h"
#include "crypt/Sha256.h"

#include <vector>

CTestListSigner::CTestListSigner(const std::string& privateHex)
{
    if (::BCryptOpenAlgorithmProvider(m_algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0) return;
    if (privateHex.empty()) {
        if (::BCryptGenerateKeyPair(m_algorithm.get(), m_key.put(), 256, 0) < 0 ||
            ::BCryptFinalizeKeyPair(m_key.get(), 0) < 0)
            m_key.reset();
        return;
    }
    std::vector<unsigned char> secret;
    if (!DecodeHex(privateHex, secret) || secret.size() != 96) return;
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    const auto* head = reinterpret_cast<const unsigned char*>(&header);
    std::vector<unsigned char> blob(head, head + sizeof header);
    blob.insert(blob.end(), secret.begin(), secret.end());
    if (::BCryptImportKeyPair(m_algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, m_key.put(), blob.data(),
                              static_cast<ULONG>(blob.size()), 0) < 0)
        m_key.reset();
}

std::string CTestListSigner::Sign(const std::string& bytes) const
{
    CSha256::Digest digest = CSha256::Of(bytes.data(), bytes.size());
    unsigned char signature[64];
    ULONG length = 0;
    if (!m_key ||
        ::BCryptSignHash(m_key.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()), signature,
                         sizeof signature, &length, 0) < 0 ||
        length != sizeof signature)
        return std::string();
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : signature) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text + "\n";
}
