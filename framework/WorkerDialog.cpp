#include "framework/WorkerDialog.h"
#include "framework/Trace.h"
#include "framework/Wait.h"
#include <process.h>

CWorkerDialog::CWorkerDialog(UINT templateId, HWND parent)
    : CDialog(templateId, parent), m_hStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hStartEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
}

CWorkerDialog::~CWorkerDialog()
{
    // A dialog that never ran still owns a waiting worker: end it before the members go.
    if (m_hThread) StopWorker();
}

void CWorkerDialog::StartWorker(ThreadProc proc)
{
    m_proc = proc;
    m_hThread.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, this, 0, &m_nThreadId)));
    if (!m_hThread) TraceFailure("the worker thread could not be started");
}

unsigned __stdcall CWorkerDialog::ThreadEntry(void* param)
{
    auto* self = static_cast<CWorkerDialog*>(param);
    try {
        return self->m_proc(self);
    } catch (...) {
        // A worker never ends the process; a run that throws counts as failed.
        TraceSwallowedException("a worker thread");
        self->Finish(kFailed);
        return 0;
    }
}

bool CWorkerDialog::WaitForStart() const
{
    HANDLE events[2] = {m_hStopEvent.get(), m_hStartEvent.get()};
    for (;;) {
        DWORD r = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0) return false;
        if (r == WAIT_OBJECT_0 + 1) return true;
        if (r == WAIT_FAILED) return false; // the events are gone: nothing may be done
    }
}

void CWorkerDialog::Finish(int result)
{
    m_nResult = result;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

void CWorkerDialog::SignalStart()
{
    // Without a worker nothing would ever answer: the run ends now, as failed, and the dialog's
    // close handler says so.
    if (!m_hThread) {
        Finish(kFailed);
        return;
    }
    SetEvent(m_hStartEvent.get());
}

void CWorkerDialog::StopWorker()
{
    SetEvent(m_hStopEvent.get());
    if (m_hThread) {
        WaitDispatchingSentMessages(m_hThread.get());
        m_hThread.reset();
    }
    m_hStopEvent.reset();
    m_hStartEvent.reset();
}
