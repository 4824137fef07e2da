#include "crypt/ReleaseSignature.h"

#include "crypt/HexText.h"
#include "crypt/Sha256.h"
#include "framework/Handles.h"

#include <vector>

namespace {

constexpr std::size_t kCoordinateBytes = 32;
constexpr std::size_t kSignatureBytes = 2 * kCoordinateBytes;

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

// BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
std::vector<unsigned char> PublicBlob(const CReleaseKey& key)
{
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(kCoordinateBytes)};
    const auto* head = reinterpret_cast<const unsigned char*>(&header);
    std::vector<unsigned char> blob(head, head + sizeof header);
    blob.insert(blob.end(), key.X().begin(), key.X().end());
    blob.insert(blob.end(), key.Y().begin(), key.Y().end());
    return blob;
}

} // namespace

bool CReleaseSignature::Verifies(const CReleaseKey& key, const std::string& message, const std::string& signatureText)
{
    std::vector<unsigned char> signature;
    if (!DecodeHex(signatureText, signature) || signature.size() != kSignatureBytes) return false;

    CAlgorithmProvider algorithm;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return false;
    std::vector<unsigned char> blob = PublicBlob(key);
    CCryptKey publicKey;
    if (!Succeeded(::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, publicKey.put(), blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)))
        return false;
    CSha256::Digest digest = CSha256::Of(message.data(), message.size());
    return Succeeded(::BCryptVerifySignature(publicKey.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                             signature.data(), static_cast<ULONG>(signature.size()), 0));
}
