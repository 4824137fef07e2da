#pragma once
// A modal dialog that owns one worker thread steered by two events: a manual-reset stop event
// and an auto-reset start event, both created unsignalled. The worker waits for either; the
// dialog signals start when the work may begin, and stop when it closes.
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/WorkerResult.h"
#include <atomic>

class CWorkerDialog : public CDialog {
public:
    using ThreadProc = unsigned (*)(CWorkerDialog* dialog);

    static constexpr int kNotFinished = WorkerResult::kNotFinished;
    static constexpr int kFailed = WorkerResult::kFailed;

    explicit CWorkerDialog(UINT templateId, HWND parent = nullptr);
    ~CWorkerDialog() override;

    // After DoModal: the window was closed while its work was under way, which gave the work
    // up, so the run has no result; and whether the product could not be started at the end.
    bool ClosedWithoutResult() const { return m_closedWithoutResult; }
    bool ProductStartFailed() const { return m_productStartFailed; }

protected:
    // Worker side: blocks until start (true) or stop (false) is signalled.
    bool WaitForStart() const;
    // Worker side: stores the result and posts WM_CLOSE; the dialog reads the result in OnClose.
    void Finish(int result);

    // The stop event, for waits of the worker's that must end when the dialog closes.
    HANDLE StopEvent() const { return m_hStopEvent.get(); }
    // Worker side: the dialog is closing, so a failure now is the close's doing.
    bool StopRequested() const { return WaitForSingleObject(m_hStopEvent.get(), 0) == WAIT_OBJECT_0; }
    // True while a worker thread is owned: started and not yet stopped.
    bool HasWorker() const { return static_cast<bool>(m_hThread); }

    std::atomic<int> m_nResult{0};      // written by the worker, read by the dialog
    bool m_closedWithoutResult = false; // set by the close handler
    bool m_productStartFailed = false;  // set by the close handler

    // Starts the worker at once; it waits for the events. Call from the derived constructor.
    // A worker that cannot be started is remembered: the start signal then ends the run as
    // failed instead of waiting for work that never comes.
    void StartWorker(ThreadProc proc);
    void SignalStart();
    // Signals stop and waits, without a time limit, for the worker to end while still handling
    // the messages it sends to this thread; then closes the thread and both events.
    void StopWorker();

private:
    static unsigned __stdcall ThreadEntry(void* param);
    ThreadProc m_proc = nullptr;
    unsigned int m_nThreadId = 0;
    CHandle m_hThread;
    CHandle m_hStopEvent;
    CHandle m_hStartEvent;
};
