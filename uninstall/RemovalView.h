#pragma once
// What the removal may do to its window: the status text, the bar, and the window that owns the
// read-only questions. The uninstall dialog is one; an unattended run has none.
#include "framework/ProgressBar.h"

#include <windows.h>

class IRemovalView {
public:
    virtual ~IRemovalView() = default;
    virtual void ShowStatus(UINT stringId) = 0;
    virtual IProgressBar& Bar() = 0;
    virtual HWND QuestionOwner() const = 0;
};
