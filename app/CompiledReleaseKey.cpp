// The release key of this executable. The build defines NUVRA_RELEASE_KEY_HEX (X then Y, 128 hex
// digits) for a keyed program; without it the program has no key.
#include "crypt/ReleaseKey.h"

const CReleaseKey* CompiledReleaseKey()
{
#ifdef NUVRA_RELEASE_KEY_HEX
    static_assert(sizeof NUVRA_RELEASE_KEY_HEX == 129, "the release key is X and Y, 64 hex digits each");
    // Digits that do not decode leave a key of zeros, which verifies nothing: a keyed build
    // must never act like one without a key.
    static const CReleaseKey key = [] {
        CReleaseKey decoded;
        CReleaseKey::FromHex(NUVRA_RELEASE_KEY_HEX, decoded);
        return decoded;
    }();
    return &key;
#else
    return nullptr;
#endif
}
