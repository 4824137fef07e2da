#pragma once
// What the install worker may do to its dialog: the two status texts, the two bars, the window
// that owns its questions, and the release's names for the product's first start. Finishing
// with the result is its thread's business, not the procedure's.
#include "framework/ProgressBar.h"

#include <windows.h>

#include <string>

class IInstallView {
public:
    virtual ~IInstallView() = default;

    virtual void SetMainStatus(const std::wstring& text) = 0;   // 1049
    virtual void SetDetailStatus(const std::wstring& text) = 0; // 1048
    void ShowStatus(const std::wstring& main, const std::wstring& detail)
    {
        SetMainStatus(main);
        SetDetailStatus(detail);
    }

    virtual IProgressBar& FileBar() = 0;  // upper bar: the current item
    virtual IProgressBar& TotalBar() = 0; // lower bar: the whole installation

    // The window that owns read-only questions, so they never open behind the dialog.
    virtual HWND QuestionOwner() const = 0;

    // The title and version of the release being installed; given before the run ends.
    virtual void SetRelease(const std::string& title, const std::string& version) = 0;
};
