#include "crypt/ReleaseKey.h"

#include "crypt/HexText.h"

#include <algorithm>
#include <vector>

bool CReleaseKey::FromHex(const std::string& text, CReleaseKey& key)
{
    std::vector<unsigned char> bytes;
    if (!DecodeHex(text, bytes) || bytes.size() != key.m_x.size() + key.m_y.size()) return false;
    std::copy(bytes.begin(), bytes.begin() + 32, key.m_x.begin());
    std::copy(bytes.begin() + 32, bytes.end(), key.m_y.begin());
    return true;
}
