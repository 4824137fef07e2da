#pragma once
// What the update worker may do to its dialog, and the record's texts it works from, read on the
// dialog's thread before the worker starts.
#include "framework/ProgressBar.h"

#include <windows.h>

#include <string>

class IUpdateView {
public:
    virtual ~IUpdateView() = default;

    virtual void SetStatus(const std::wstring& text) = 0;
    virtual IProgressBar& Bar() = 0;
    // The window that owns read-only questions, so they never open behind the dialog.
    virtual HWND QuestionOwner() const = 0;
    // The version the record gets once the run has succeeded; given before the run ends.
    virtual void SetNewVersion(const std::string& version) = 0;
};

struct CUpdateInputs {
    std::string setupDir;         // the installation folder; "" when the record has none
    std::string installedVersion; // the version the record names
};
