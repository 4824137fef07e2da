#pragma once
// Signs file lists the way the maker's tool does (ECDSA P-256 over the SHA-256 of the bytes,
// written as hex r||s), with CNG, so that tests under Wine need no Python.
#include "framework/Handles.h"

#include <string>

class CTestListSigner {
public:
    // privateHex: X, Y and d of a P-256 key (192 hex digits); "" makes a fresh key.
    explicit CTestListSigner(const std::string& privateHex = std::string());
    bool IsReady() const { return static_cast<bool>(m_key); }
    // The signature file's text for these exact bytes, or "" on failure.
    std::string Sign(const std::string& bytes) const;

private:
    CAlgorithmProvider m_algorithm;
    CCryptKey m_key;
};
