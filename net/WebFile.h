#pragma once
// One HTTP GET of one server file: the body stored in a local file, or only its length reported.
#include "net/ServerAddress.h"

#include <string>

class CFileSink;
class CWebFileSession;

// Fetches serverFolder + fileName from host:port (plain HTTP) and stores the body as
// localFolder + fileName (localFolder empty: the current directory; otherwise it ends with a
// separator). Follows one redirect, but never from https to plain http. A download whose size or
// digest is known asks for gzip and WinInet decodes it; those checks hold on the decoded bytes.
// Results:
//   200                 body stored completely
//   body length         sizeOnly and status 200 (low 32 bits; 0 when the server reports none)
//   401                 status 401
//   -1                  sizeOnly and any status but 200 and 401
//   other status        the server's status when the body was wanted
//   0                   network failure, a body cut short, a redirect that cannot be followed,
//                       a local file that cannot be written, or a body whose SHA-256 is not
//                       `expectedSha256` (lower-case hex; "" checks nothing)
// A failed download leaves no file behind and an existing file under the target name intact.
int GetWebFile(const std::string& agent, const std::string& host, unsigned short port, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256 = std::string());

// The same over a session the caller made, so that its status texts can be watched, from a server
// that may be HTTPS. A certificate Windows does not accept fails the request (0).
int GetWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256 = std::string());

// A download (never size-only) whose body goes through a sink the caller set up, for example
// with an aside name for a target in use or the digest the body must have.
int GetWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, CFileSink& sink);
