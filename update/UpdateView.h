#pragma once
// What the update worker may do to its dialog, and the record's texts it works from, read on the
// dialog's thread before the worker starts.
#include "framework/ProgressBar.h"

#include <windows.h>

#include <cstddef>
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
    // How many files the run replaced; given before a successful run ends. The window does not
    // show it; the unattended run turns it into its exit code, the repair into its message.
    virtual void SetReplacedCount(std::size_t count) { (void)count; }
};

struct CUpdateInputs {
    std::string setupDir;         // the installation folder; "" when the record has none
    std::string installedVersion; // the version the record names
};
