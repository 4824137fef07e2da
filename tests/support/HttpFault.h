#pragma once
// What the test HTTP server does wrong on purpose for one request path.
#include <chrono>
#include <cstddef>
#include <string>

class CHttpFault {
public:
    enum class Kind {
        Status,       // answer `status` with a short text body
        Redirect,     // answer `status` (301/302/303...) with `location`, or with no Location
        ShortBody,    // serve the file, announce its full length, send `missingBytes` fewer, close
        DropMidBody,  // serve the file, announce its full length, reset the connection after `sentBytes`
        Stall,        // read the request and answer nothing for `stall` (or until Stop), then close
        StallMidBody, // serve the file, announce its full length, send `sentBytes`, then hold the
                      // connection silent for `stall` (or until Stop), then close
        Tamper,       // serve the file with the byte at `tamperOffset` changed: same length, other bytes
        Endless,      // serve the file without a Content-Length, then filler bytes without end
                      // (until the client goes or Stop), as a broken or hostile server may
        Drip,         // serve the file, announce its full length, then send one byte every `stall`
                      // (under any receive time-out, never done in a test's time) until Stop
        Delay,        // wait `stall` (or until Stop), then serve the file as usual; with `together`,
                      // only until that many requests are or have been answered at once
    };

    static CHttpFault Status(int status)
    {
        CHttpFault f(Kind::Status);
        f.status = status;
        return f;
    }
    static CHttpFault Redirect(int status, std::string location)
    {
        CHttpFault f(Kind::Redirect);
        f.status = status;
        f.location = std::move(location);
        f.hasLocation = true;
        return f;
    }
    static CHttpFault RedirectWithoutLocation(int status)
    {
        CHttpFault f(Kind::Redirect);
        f.status = status;
        return f;
    }
    static CHttpFault ShortBody(std::size_t missingBytes)
    {
        CHttpFault f(Kind::ShortBody);
        f.missingBytes = missingBytes;
        return f;
    }
    static CHttpFault DropMidBody(std::size_t sentBytes)
    {
        CHttpFault f(Kind::DropMidBody);
        f.sentBytes = sentBytes;
        return f;
    }
    static CHttpFault Stall(std::chrono::milliseconds duration)
    {
        CHttpFault f(Kind::Stall);
        f.stall = duration;
        return f;
    }
    static CHttpFault StallUntilStop() { return Stall(std::chrono::milliseconds::max()); }
    static CHttpFault StallMidBody(std::size_t sentBytes,
                                   std::chrono::milliseconds duration = std::chrono::milliseconds::max())
    {
        CHttpFault f(Kind::StallMidBody);
        f.sentBytes = sentBytes;
        f.stall = duration;
        return f;
    }
    static CHttpFault Endless() { return CHttpFault(Kind::Endless); }
    static CHttpFault Drip(std::chrono::milliseconds interval)
    {
        CHttpFault f(Kind::Drip);
        f.stall = interval;
        return f;
    }
    static CHttpFault Delay(std::chrono::milliseconds duration, std::size_t untilTogether = 0)
    {
        CHttpFault f(Kind::Delay);
        f.stall = duration;
        f.together = untilTogether;
        return f;
    }
    static CHttpFault Tamper(std::size_t offset)
    {
        CHttpFault f(Kind::Tamper);
        f.tamperOffset = offset;
        return f;
    }

    Kind kind;
    int status = 0;
    std::string location;
    bool hasLocation = false;
    std::size_t missingBytes = 0;
    std::size_t sentBytes = 0;
    std::chrono::milliseconds stall{0};
    std::size_t tamperOffset = 0;
    std::size_t together = 0;

private:
    explicit CHttpFault(Kind k) : kind(k) {}
};
