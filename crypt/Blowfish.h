#pragma once
// Placeholder until the real cipher lands: key set-up only.
#include <cstddef>
#include <vector>

class CBlowfish {
public:
    // chainMode 1 and paddingMode 2 are the modes the download manager uses.
    bool Initialize(const unsigned char* key, size_t keyLength, const unsigned char chain[8],
                    int chainMode, int paddingMode)
    {
        if (keyLength == 0 || keyLength > 56) return false;
        m_key.assign(key, key + keyLength);
        m_chain.assign(chain, chain + 8);
        m_chainMode = chainMode;
        m_paddingMode = paddingMode;
        return true;
    }

private:
    std::vector<unsigned char> m_key;
    std::vector<unsigned char> m_chain;
    int m_chainMode = 0;
    int m_paddingMode = 0;
};
