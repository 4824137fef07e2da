#pragma once
// Where a download's body goes: a temporary file beside the target ("nvw<hex>.tmp"), moved onto
// the target name in one step only when the whole body has arrived. Until then the target, if it
// exists, stays as it was; a sink that is not committed removes its temporary file, and one left
// by a killed process is recognised by its name (IsPartialDownloadName). Given the digest the
// body must have, the sink hashes the bytes as they are written and refuses to commit any other.
#include "crypt/Sha256.h"
#include "framework/Handles.h"

#include <atomic>
#include <mutex>
#include <string>

// What a download's body must be, as the file list says: its SHA-256 as lower-case hex ("" when
// the list gives none) and its byte count (-1 when the list gives none).
struct CExpectedBody {
    CExpectedBody(std::string sha256Hex = std::string(), long long bytes = -1)
        : sha256(std::move(sha256Hex)), size(bytes)
    {
    }
    std::string sha256;
    long long size;
};

class CFileSink {
public:
    CFileSink() = default;
    ~CFileSink() { Discard(); }
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;

    // Creates the temporary file in the target's folder. False when it cannot be made there
    // (missing folder, no rights).
    bool Open(const std::string& targetPath);
    // The same, continuing the kept partial file at `continueAt` bytes (the server honoured the
    // range); 0 starts it over. The bytes already there are hashed first.
    bool Open(const std::string& targetPath, long long continueAt);
    // The body's SHA-256 as lower-case hex; "" checks nothing. Set before the first Write.
    void ExpectDigest(const std::string& sha256Hex);
    // The body is exactly this many bytes (-1: unknown): the write that would pass it fails, so
    // no file grows past what the list says, and a shorter body fails the commit.
    void ExpectSize(long long bytes) { m_expectedSize = bytes; }
    // At most this many bytes (-1: no bound); the write that would pass it fails.
    void LimitSize(long long bytes) { m_sizeLimit = bytes; }
    long long ExpectedSize() const { return m_expectedSize; }
    // Whether a body cut short would fail the commit: its size or its digest is known.
    bool ChecksWholeBody() const { return m_expectedSize >= 0 || !m_expectedDigest.empty(); }
    long long SizeLimit() const { return m_sizeLimit; }
    bool Write(const void* data, DWORD size);
    // The bytes written so far; may be read from another thread while the body arrives.
    long long BytesWritten() const { return m_written.load(); }
    // From another thread: once this returns, nothing more is written or committed, and the
    // temporary file is gone. For a transfer given up while the fetch is still blocked.
    void Abandon();
    // Closes the temporary file and puts it in place of the target. False (and the temporary
    // file removed) when that is not possible, or when the body is not the expected one.
    bool Commit();
    // Drops what was written. Called by the destructor.
    void Discard();

    // A target that cannot be replaced in one step (a program in use) is then moved aside under
    // this name, the new file moved in, and the old one left under the aside name for the caller
    // to delete. The aside name must not exist. Without one, such a target fails the commit.
    void SetAsideName(const std::string& aside) { m_aside = aside; }
    // True when the last commit moved the old target aside.
    bool MovedAside() const { return m_movedAside; }

    const std::string& TemporaryPath() const { return m_temporary; }

    // The body goes into this file instead of a fresh temporary one, and a transfer that fails
    // leaves it there (unless its bytes are wrong), so that a later run continues it with a
    // range request. Set before ResumeOffset and Open.
    void KeepPartialAt(const std::string& partialPath) { m_partial = partialPath; }
    // Where a range request should start: the bytes the kept partial file holds, 0 for none. A
    // partial file as long as the listed size or longer cannot be continued and is removed.
    long long ResumeOffset();

private:
    bool ReplaceThroughAside();
    bool OpenPartial(const std::string& target, long long continueAt);
    void DiscardLocked();

    // Guards the file and the names against Abandon on another thread; the fetch's own thread
    // takes it once per piece written, which costs nothing beside the network.
    std::mutex m_lock;
    bool m_abandoned = false;
    std::atomic<long long> m_written{0};
    long long m_expectedSize = -1;
    long long m_sizeLimit = -1;
    std::string m_target;
    std::string m_temporary;
    std::string m_aside;
    bool m_movedAside = false;
    std::string m_partial;       // kept partial file, "" for a fresh temporary one
    bool m_partialWrong = false; // its bytes failed the check: it goes, not kept
    CHandle m_file;
    std::string m_expectedDigest;
    CSha256 m_digest;
};
