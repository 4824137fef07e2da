#pragma once
// The update procedure, run on CUpdateDlg's worker thread: waits for the start, fetches the
// file list, replaces every newer file in the installation folder one at a time (the old one
// moved aside and put back when its download fails), then stores the result (1 failed,
// 3 updated) and posts WM_CLOSE to the dialog. Returns 0 in every case.
class CWorkerDialog;

unsigned UpdateThreadProc(CWorkerDialog* dialog);
