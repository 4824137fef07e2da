// The threading contract of CWorkerDialog, with a real dialog and a real worker thread.
#include "framework/WorkerDialog.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

enum class EPlay {
    NeverStarted,         // the dialog closes without signalling start: the worker sees stop
    FinishesWithResult,   // start, then the worker stores its result and closes the dialog
    SendsWhileDialogWaits // start; the dialog closes and waits while the worker still sends to it
};

const wchar_t kSentText[] = L"sent while the dialog waits";

class CPlayDialog : public CWorkerDialog {
public:
    explicit CPlayDialog(EPlay play) : CWorkerDialog(IDD_UPDATE), m_play(play) { StartWorker(&CPlayDialog::Work); }
    ~CPlayDialog() override
    {
        if (HasWorker()) StopWorker();
    }

    std::atomic<bool> workerStarted{false};
    int resultAtClose = -1;
    int resultAfterStop = -1;
    std::wstring statusAfterStop;

protected:
    BOOL OnInitDialog() override
    {
        if (m_play == EPlay::NeverStarted)
            PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        else
            SignalStart();
        return TRUE;
    }

    void OnClose() override
    {
        resultAtClose = m_nResult;
        StopWorker();
        resultAfterStop = m_nResult;
        statusAfterStop = GetDlgItemText(IDC_UPDATE_STATUS);
        EndDialog(IDOK);
    }

private:
    static unsigned Work(CWorkerDialog* dialog)
    {
        auto* self = static_cast<CPlayDialog*>(dialog);
        if (!self->WaitForStart()) return 0;
        self->workerStarted = true;
        if (self->m_play == EPlay::SendsWhileDialogWaits) {
            // The user's close comes first; the start was taken, so this wait ends only with stop.
            PostMessageW(self->GetSafeHwnd(), WM_CLOSE, 0, 0);
            self->WaitForStart();
            // Sent, not posted: it returns only once the dialog's thread has answered.
            self->SetDlgItemText(IDC_UPDATE_STATUS, kSentText);
        }
        self->Finish(3);
        return 0;
    }

    const EPlay m_play;
};

struct PlayCase {
    const char* name;
    EPlay play;
    bool started;
    int resultAtClose;
    int resultAfterStop;
    const wchar_t* status;
};

void PrintTo(const PlayCase& c, std::ostream* out)
{
    *out << c.name;
}

class WorkerHandshake : public ::testing::TestWithParam<PlayCase> {};

TEST_P(WorkerHandshake, StartStopAndResultReachTheDialog)
{
    const PlayCase& c = GetParam();
    CPlayDialog dialog(c.play);
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(c.started, dialog.workerStarted.load());
    EXPECT_EQ(c.resultAtClose, dialog.resultAtClose);
    EXPECT_EQ(c.resultAfterStop, dialog.resultAfterStop);
    EXPECT_EQ(std::wstring(c.status), dialog.statusAfterStop);
}

INSTANTIATE_TEST_SUITE_P(Plays, WorkerHandshake,
                         ::testing::Values(PlayCase{"NeverStarted", EPlay::NeverStarted, false, 0, 0, L""},
                                           PlayCase{"FinishesWithResult", EPlay::FinishesWithResult, true, 3, 3, L""},
                                           PlayCase{"SendsWhileDialogWaits", EPlay::SendsWhileDialogWaits, true, 0, 3,
                                                    kSentText}),
                         [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.name); });

} // namespace
