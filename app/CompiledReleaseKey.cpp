// The release key of this executable, read from its own resources: RCDATA IDR_RELEASE_KEY holds
// X then Y (64 bytes) in a keyed build and the text "unsigned" in a build without a key. The maker's
// tool reads the same bytes from the updater it ships, so the key is stored once, in one form.
#include "crypt/ReleaseKey.h"
#include "res/resource.h"

#include <windows.h>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<CReleaseKey> LoadCompiledKey()
{
    const HRSRC found =
        ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_RELEASE_KEY), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    // Programs linked without the resource (test programs) have no key, as an unkeyed build.
    if (!found) return nullptr;
    const DWORD size = ::SizeofResource(nullptr, found);
    const HGLOBAL loaded = ::LoadResource(nullptr, found);
    const auto* bytes = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    const std::size_t unsignedLength = std::strlen(kUnsignedReleaseKeyText);
    if (bytes && size == unsignedLength && std::memcmp(bytes, kUnsignedReleaseKeyText, unsignedLength) == 0)
        return nullptr;
    // Anything but a whole key leaves a key of zeros, which verifies nothing: a keyed build must
    // never act like one without a key.
    auto key = std::make_unique<CReleaseKey>();
    if (bytes) CReleaseKey::FromBytes(bytes, size, *key);
    return key;
}

} // namespace

const CReleaseKey* CompiledReleaseKey()
{
    static const std::unique_ptr<CReleaseKey> key = LoadCompiledKey();
    return key.get();
}
