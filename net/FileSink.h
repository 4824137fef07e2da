#pragma once
// Where a download's body goes: a temporary file beside the target, moved onto the target name
// only when the whole body has arrived. Until then the target, if it exists, stays as it was; a
// sink that is not committed removes its temporary file. Given the digest the body must have,
// the sink hashes the bytes as they are written and refuses to commit any other body.
#include "crypt/Sha256.h"
#include "framework/Handles.h"

#include <string>

class CFileSink {
public:
    CFileSink() = default;
    ~CFileSink() { Discard(); }
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;

    // Creates the temporary file in the target's folder. False when it cannot be made there
    // (missing folder, no rights).
    bool Open(const std::string& targetPath);
    // The body's SHA-256 as lower-case hex; "" checks nothing. Set after Open, before Write.
    void ExpectDigest(const std::string& sha256Hex);
    bool Write(const void* data, DWORD size);
    // Closes the temporary file and puts it in place of the target. False (and the temporary
    // file removed) when that is not possible, or when the body is not the expected one.
    bool Commit();
    // Drops what was written. Called by the destructor.
    void Discard();

    const std::string& TemporaryPath() const { return m_temporary; }

private:
    std::string m_target;
    std::string m_temporary;
    CHandle m_file;
    std::string m_expectedDigest;
    CSha256 m_digest;
};
