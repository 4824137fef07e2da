#include "update/UpdateThreadProc.h"

#include "crypt/ReleaseKey.h"
#include "fileops/FileOpEngine.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/StringTable.h"
#include "res/resource.h"
#include "update/UpdateDlg.h"
#include "update/UpdatePlan.h"

#include <string>
#include <vector>

namespace {

constexpr DWORD kFullBarPauseMs = 500;  // lets the user see the full bar

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Replaces one file below the current directory, which is the installation folder. False when
// its download failed; the installed file is then as it was before.
bool UpdateFile(CDownloadManager& downloads, const CFileListEntry& entry, const std::string& serverFolder)
{
    // One level, relative to the installation folder; failing (or existing) is fine.
    if (!entry.SubFolder().empty()) CreateDirectoryA((entry.SubFolder() + "/").c_str(), nullptr);

    const std::string relative = entry.RelativePath();
    const std::string serverPath = entry.ServerPath(serverFolder);
    CFileOpEngine engine;

    if (entry.ReplacesInPlace()) {
        // The staging name only lends its folder to the download: the new file replaces the
        // installed one in place, and the fetcher moves it there only once it is complete.
        const std::string staging = entry.StagingName();
        engine.Rename(staging, relative);  // a staged file is taken only where none is installed
        if (downloads.DownloadFile(serverPath, staging, entry.Hash())) return true;
        if (engine.CanDelete(staging)) engine.Delete(staging);
        return false;
    }

    const std::string backup = entry.BackupName();
    // A backup without its file is the installed file itself, left by a run that stopped after
    // moving it aside: put it back instead of deleting the only copy.
    if (!Exists(relative) && Exists(backup)) engine.Rename(backup, relative);
    if (engine.CanDelete(backup)) engine.Delete(backup);  // an older backup goes first
    // Moved aside so that the new file can be written even while the old one is in use.
    const bool movedAside = engine.Rename(relative, backup);

    if (downloads.DownloadFile(serverPath, relative, entry.Hash())) {
        if (engine.CanDelete(backup)) engine.Delete(backup);
        return true;
    }
    // When the old file could not be moved aside it is still in place: the failed download did
    // not touch it, and nothing may be deleted or moved over it.
    if (movedAside) {
        if (engine.CanDelete(relative)) engine.Delete(relative);
        engine.Rename(backup, relative);
    }
    return false;
}

void SetStatus(const CUpdateDlg& dialog, UINT textId)
{
    dialog.SetDlgItemText(IDC_UPDATE_STATUS, CStringTable::Wide(textId));
}

} // namespace

unsigned UpdateThreadProc(CWorkerDialog* worker)
{
    auto* dialog = static_cast<CUpdateDlg*>(worker);
    if (!dialog->WaitForStart()) return 0;

    // Without a folder every relative path below would land in whatever the current directory is.
    if (dialog->m_strSetupDir.empty()) {
        dialog->Finish(CUpdateDlg::kFailed);
        return 0;
    }

    CProgressCtrl& progress = dialog->m_progress;
    CDownloadManager& downloads = dialog->m_downloadManager;
    const std::string serverFolder = CStringTable::Ansi(IDS_PRODUCT_FOLDER);

    SetStatus(*dialog, IDS_FETCHING_COMPONENTS);
    progress.SetRange(0, 100);
    progress.SetStep(CUpdatePlan::kListFetchedStep);
    std::vector<std::string> lines;
    const CReleaseKey* releaseKey = CompiledReleaseKey();
    if (!downloads.GetFileList(serverFolder, lines, releaseKey)) {
        dialog->Finish(CUpdateDlg::kFailed);
        return 0;
    }
    progress.StepIt();
    if (!downloads.PrepareTransfers()) {
        dialog->Finish(CUpdateDlg::kFailed);
        return 0;
    }

    const CUpdatePlan plan = CUpdatePlan::Make(lines, dialog->m_strVersion);
    if (plan.GetVerdict() != CUpdatePlan::Verdict::Ready || (releaseKey && !plan.EveryUpdateHashed())) {
        dialog->Finish(CUpdateDlg::kFailed);
        return 0;
    }

    // A folder that cannot be entered would send every file into the wrong one.
    CCurrentDirectoryScope installFolder;
    if (!installFolder.Enter(dialog->m_strSetupDir)) {
        dialog->Finish(CUpdateDlg::kFailed);
        return 0;
    }
    SetStatus(*dialog, IDS_DOWNLOADING_FILES);
    progress.SetStep(plan.ProgressStep());
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (item.update && !UpdateFile(downloads, item.entry, serverFolder)) {
            // Files replaced by earlier entries stay replaced; the version stays the old one,
            // so the next update offers all of them again.
            installFolder.Leave();
            dialog->Finish(CUpdateDlg::kFailed);
            return 0;
        }
        if (CUpdatePlan::StepsAfterEntry(progress.GetPos())) progress.StepIt();
    }

    progress.SetPos(100);
    SetStatus(*dialog, IDS_COPYING_FILES);
    Sleep(kFullBarPauseMs);
    downloads.FinishTransfers();
    installFolder.Leave();
    SetStatus(*dialog, IDS_SETTING_COMPONENTS);

    // Written before the result: OnClose reads the version only once it sees kUpdated.
    dialog->m_strVersion = plan.NewVersion();
    dialog->Finish(CUpdateDlg::kUpdated);
    return 0;
}
