#include "net/TransferWatch.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "net/TransferCancel.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// A transfer given up is cancelled and waited for; one whose blocked call its cancel does not
// wake (WinInet under Wine) is left, and from then on writes nothing to the log, whenever it ends.
TEST(TransferWatch, GivenUpTransferEndsOrIsLeftAndWritesNothingAfterTheRun)
{
    const struct {
        const char* name;
        bool wakesOnCancel; // what closing the WinInet handles does on Windows
    } cases[] = {{"woken by closing its handles", true}, {"blocked on", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CScratchFolder folder;
        CRunLog::Open(folder.File("run.log"));
        CHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        CHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        CHandle ended(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        const HANDLE releaseHandle = release.get(), endedHandle = ended.get();
        const bool wakes = c.wakesOnCancel;
        bool cancelledSeen = false;
        {
            CTransferWatch watch;
            CTransferLimits limits;
            limits.stopEvent = stop.get();
            const HANDLE stopHandle = stop.get();
            int result = watch.Run(
                [&cancelledSeen, stopHandle, releaseHandle, endedHandle, wakes] {
                    ::SetEvent(stopHandle); // the window is closed while the transfer blocks
                    while (::WaitForSingleObject(releaseHandle, 10) == WAIT_TIMEOUT)
                        if (wakes && CTransferCancel::CurrentCancelled()) break;
                    cancelledSeen = CTransferCancel::CurrentCancelled();
                    if (!cancelledSeen) CRunLog::Write("a line of the transfer");
                    ::SetEvent(endedHandle);
                    return 200;
                },
                nullptr, limits, "/update/a.txt");
            EXPECT_EQ(0, result);
            EXPECT_EQ(wakes, ::WaitForSingleObject(ended.get(), 0) == WAIT_OBJECT_0);
        }
        CRunLog::Write("result: the run's last line");
        // The blocked call returns at last (its time-out, the server going away).
        ::SetEvent(release.get());
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ended.get(), 10000));
        EXPECT_TRUE(cancelledSeen);
        CRunLog::Close();

        const std::string log = folder.Read("run.log");
        EXPECT_NE(std::string::npos, log.find("GET /update/a.txt: given up; failed: stopped")) << log;
        EXPECT_EQ(!wakes, log.find("was left to end on its own") != std::string::npos) << log;
        const std::string last = "result: the run's last line\r\n";
        ASSERT_GE(log.size(), last.size());
        EXPECT_EQ(last, log.substr(log.size() - last.size())) << log;
    }
}

} // namespace
