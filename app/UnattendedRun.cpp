#include "app/UnattendedRun.h"

#include "app/ExitCode.h"
#include "app/VersionList.h"
#include "fileops/FileOpEngine.h"
#include "framework/NullProgressBar.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "install/DefaultInstallDir.h"
#include "install/InstallProcedure.h"
#include "install/InstallRecord.h"
#include "install/InstallView.h"
#include "launch/ProductStart.h"
#include "net/DownloadManager.h"
#include "res/resource.h"
#include "uninstall/ProductRemoval.h"
#include "uninstall/RemovalView.h"
#include "update/RepairProcedure.h"
#include "update/UpdateProcedure.h"

#include <string>
#include <vector>

namespace {

// The views of the procedures with nothing behind them but the few results they hand over.
class CSilentInstallView : public IInstallView {
public:
    void SetMainStatus(const std::wstring&) override {}
    void SetDetailStatus(const std::wstring&) override {}
    IProgressBar& FileBar() override { return m_fileBar; }
    IProgressBar& TotalBar() override { return m_totalBar; }
    HWND QuestionOwner() const override { return nullptr; }
    void SetRelease(const std::string& title, const std::string& version) override
    {
        m_title = title;
        m_version = version;
    }

    std::string m_title;
    std::string m_version;

private:
    CNullProgressBar m_fileBar;
    CNullProgressBar m_totalBar;
};

class CSilentUpdateView : public IUpdateView {
public:
    void SetStatus(const std::wstring&) override {}
    IProgressBar& Bar() override { return m_bar; }
    HWND QuestionOwner() const override { return nullptr; }
    void SetNewVersion(const std::string& version) override { m_version = version; }
    void SetReplacedCount(std::size_t count) override { m_replaced = count; }

    std::string m_version;
    std::size_t m_replaced = 0;

private:
    CNullProgressBar m_bar;
};

class CSilentRemovalView : public IRemovalView {
public:
    void ShowStatus(UINT) override {}
    IProgressBar& Bar() override { return m_bar; }
    HWND QuestionOwner() const override { return nullptr; }

private:
    CNullProgressBar m_bar;
};

int Logged(const std::string& mode, int exitCode)
{
    CRunLog::Write("unattended " + mode + ": exit code " + std::to_string(exitCode));
    return exitCode;
}

// The record's folder and version, as the update window reads them.
CUpdateInputs RecordInputs()
{
    CUpdateInputs inputs;
    CRegKey key = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    if (key) {
        inputs.setupDir = ReadRegString(key.get(), CStringTable::Ansi(IDS_VALUE_SETUP_DIR));
        inputs.installedVersion = ReadRegString(key.get(), CStringTable::Ansi(IDS_VALUE_VERSION));
    }
    return inputs;
}

// A relative folder is taken from the current one, as a shell would: the product's record and its
// command line need the whole path.
std::string FullPath(const std::string& folder)
{
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    // Too long for the 8-bit path functions the installation uses: the folder check refuses it.
    return n == 0 || n >= MAX_PATH ? folder : std::string(full, n);
}

} // namespace

int CUnattendedRun::Run()
{
    // Nobody can answer a question, and none may wait on the screen: read-only items stay, and
    // the system shows no error box of its own (a drive without a disk, say).
    CFileOpEngine::SetUnattended(true);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (m_line.update) return Logged("update", Update());
    if (m_line.repair) return Logged("repair", Repair());
    if (IsProductInstalled()) return Logged("uninstall", Uninstall());
    return Logged("install", Install());
}

int CUnattendedRun::Install()
{
    CDownloadManager downloads;
    std::vector<std::string> lines;
    if (!downloads.GetVersionList(lines)) return ExitCode::kFailed;
    switch (CVersionList::Select(lines)) {
    case CVersionList::Decision::Allowed: break;
    case CVersionList::Decision::Refused:
        CRunLog::Write("the version list refuses installing");
        return ExitCode::kRefused;
    default: CRunLog::Write("the version list has no record"); return ExitCode::kFailed;
    }

    CInstallInputs inputs;
    // "/D=" names the folder that receives the product folder, as the dialog's folder does.
    inputs.installDir = m_line.installDir.empty() ? CDefaultInstallDir::Get() : FullPath(m_line.installDir);
    while (inputs.installDir.size() > 3 && (inputs.installDir.back() == '\\' || inputs.installDir.back() == '/'))
        inputs.installDir.pop_back();
    if (m_line.noShortcuts)
        inputs.options.desktop = inputs.options.quickLaunch = inputs.options.startMenu = inputs.options.programsMenu =
            false;
    CRunLog::Write("unattended install into " + inputs.installDir);

    CSilentInstallView view;
    const int result = CInstallProcedure(view, inputs, downloads).Run();
    if (result != CInstallProcedure::kInstalled && result != CInstallProcedure::kInstalledAndStart)
        return ExitCode::kFailed;
    // The product's first start writes its record, as after the windowed installation.
    const std::string productFolder = inputs.installDir + "\\" + CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    if (!CProductStart::First(productFolder, view.m_version, view.m_title)) return ExitCode::kStartFailed;
    return ExitCode::kDone;
}

int CUnattendedRun::Update()
{
    if (!IsProductInstalled()) return ExitCode::kNotInstalled;
    const CUpdateInputs inputs = RecordInputs();
    CDownloadManager downloads;
    CSilentUpdateView view;
    if (RunUpdate(view, inputs, downloads) != kUpdateDone) return ExitCode::kFailed;
    // A newer version recorded is a change even when no file was newer than the installed one.
    if (view.m_replaced == 0 && view.m_version.empty()) return ExitCode::kNothingToDo;
    // As the windowed update ends: the product started again, where a file of it changed.
    if (view.m_replaced > 0 && !CProductStart::Again(inputs.setupDir)) return ExitCode::kStartFailed;
    return ExitCode::kDone;
}

int CUnattendedRun::Repair()
{
    if (!IsProductInstalled()) return ExitCode::kNotInstalled;
    CDownloadManager downloads;
    CSilentUpdateView view;
    if (RunRepair(view, RecordInputs(), downloads) != kRepairDone) return ExitCode::kFailed;
    if (view.m_replaced == 0) return ExitCode::kNothingToDo;
    return ExitCode::kRepairedBase + static_cast<int>(view.m_replaced);
}

int CUnattendedRun::Uninstall()
{
    CSilentRemovalView view;
    switch (CProductRemoval::Run(view)) {
    case CProductRemoval::Outcome::Removed: return ExitCode::kDone;
    case CProductRemoval::Outcome::Incomplete: return ExitCode::kIncomplete;
    case CProductRemoval::Outcome::NothingRemoved: break;
    }
    CRunLog::Write("the installation folder cannot be written; nothing removed");
    return ExitCode::kFailed;
}
