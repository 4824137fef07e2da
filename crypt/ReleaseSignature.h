#pragma once
// The check that a file list is the one the maker published: an ECDSA P-256 signature, written
// as one line of hex (r then s, 32 bytes each), over the SHA-256 of the list's exact bytes.
// Verified with the platform's CNG, so the program carries no cryptographic library.
#include "crypt/ReleaseKey.h"

#include <string>

class CReleaseSignature {
public:
    // True only when `signatureText` is a well-formed signature of `message` by `key`.
    static bool Verifies(const CReleaseKey& key, const std::string& message, const std::string& signatureText);
};
