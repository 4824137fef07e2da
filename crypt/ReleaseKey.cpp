#include "crypt/ReleaseKey.h"

#include <algorithm>

bool CReleaseKey::FromBytes(const unsigned char* bytes, std::size_t count, CReleaseKey& key)
{
    if (!bytes || count != kBytes) return false;
    std::copy(bytes, bytes + 32, key.m_x.begin());
    std::copy(bytes + 32, bytes + kBytes, key.m_y.begin());
    return true;
}
