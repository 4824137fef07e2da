#include "update/UpdateProcedure.h"

#include "crypt/ReleaseKey.h"
#include "fileops/FileOpEngine.h"
#include "fileops/WritableFolder.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/WorkerResult.h"
#include "net/DownloadManager.h"
#include "net/DownloadPaths.h"
#include "net/TransferPace.h"
#include "res/resource.h"
#include "update/UpdatePlan.h"

#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD kFullBarPauseMs = 500; // lets the user see the full bar

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Partial downloads of a killed run in one folder below the installation folder ("" for the
// folder itself). They are ours alone, so they go without a question; a listed file never does.
void DeletePartialDownloads(const std::string& folder, const CUpdatePlan& plan)
{
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    WIN32_FIND_DATAA found;
    CFindHandle find(FindFirstFileA((prefix + kPartialDownloadPrefix + "*.tmp").c_str(), &found));
    if (!find) return; // none there, or no such folder yet
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsPartialDownloadName(name)) continue;
        if (plan.Names(prefix + name)) continue;
        // One that cannot go now (held open by a scanner, say) goes in a later run.
        DeleteFileA((prefix + name).c_str());
    } while (FindNextFileA(find.get(), &found));
}

} // namespace

// Puts right what an interrupted earlier run left, before anything is replaced: a backup that is
// the only copy of its file goes back under the file's name, an older backup goes (read-only
// ones only with the user's consent), and partial downloads are deleted.
void RepairInterruptedRun(const CUpdatePlan& plan, HWND owner)
{
    std::set<std::string> folders;
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (!item.safe) continue;
        if (folders.insert(item.entry.SubFolder()).second) DeletePartialDownloads(item.entry.SubFolder(), plan);
        if (item.entry.ReplacesInPlace() || !Exists(item.backup)) continue;
        CFileOpEngine engine;
        engine.SetOwner(owner);
        if (!Exists(item.entry.RelativePath())) {
            engine.Rename(item.backup, item.entry.RelativePath());
        } else if (engine.CanDelete(item.backup)) {
            engine.Delete(item.backup);
        }
    }
}

CExpectedBody Expected(const CFileListEntry& entry)
{
    return CExpectedBody(entry.Hash(), entry.HasSize() ? entry.Size() : -1);
}

// With every size to be fetched in the list, the run has a deadline derived from them.
void SetRunBudget(CDownloadManager& downloads, const CUpdatePlan& plan)
{
    long long total = 0;
    std::size_t files = 0;
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (!item.update) continue;
        if (!item.entry.HasSize()) return;
        total += item.entry.Size();
        ++files;
    }
    downloads.SetRunBudget(CTransferPace::RunBudgetMs(total, files));
}

// Replaces one file below the current directory, which is the installation folder. False when
// its download failed; the installed file is then as it was before. A kill at any moment leaves
// the file under its own name, old or new.
bool ReplaceListedFile(CDownloadManager& downloads, const CUpdatePlan::Item& item, const std::string& serverFolder,
                       HWND owner)
{
    const CFileListEntry& entry = item.entry;
    // Failing (or existing) levels are fine: a missing one fails the download below.
    for (const std::string& level : entry.FolderLevels()) CreateDirectoryA(level.c_str(), nullptr);

    const std::string relative = entry.RelativePath();
    const std::string serverPath = entry.ServerPath(serverFolder);
    CFileOpEngine engine;
    engine.SetOwner(owner);

    if (entry.ReplacesInPlace()) {
        // The staging name only lends its folder to the download: the new file replaces the
        // installed one in place, and the fetcher moves it there only once it is complete.
        engine.Rename(item.staging, relative); // a staged file is taken only where none is installed
        if (downloads.DownloadFile(serverPath, item.staging, Expected(entry))) return true;
        CRunLog::Write("update failed: " + relative + " was not replaced, the installed file stays");
        if (engine.CanDelete(item.staging)) engine.Delete(item.staging);
        return false;
    }

    // The new file replaces the old one in one step once it is complete; only a file in use is
    // moved aside under its backup name for that.
    bool movedAside = false;
    if (!downloads.DownloadFile(serverPath, relative, Expected(entry), item.backup, &movedAside)) {
        CRunLog::Write("update failed: " + relative + " was not replaced, the installed file stays");
        return false;
    }
    // A backup still in use stays; the next run removes it.
    if (movedAside && engine.CanDelete(item.backup)) engine.Delete(item.backup);
    return true;
}

namespace {

void SetStatus(IUpdateView& view, UINT textId)
{
    view.SetStatus(CStringTable::Wide(textId));
}

const char* RefusalText(CUpdatePlan::Verdict verdict)
{
    switch (verdict) {
    case CUpdatePlan::Verdict::NotARelease:
        return "not shaped like a release (title, dotted version, at least one entry)";
    case CUpdatePlan::Verdict::UnsafeEntry: return "a newer entry names a path outside the product folder";
    case CUpdatePlan::Verdict::Rollback: return "its version is below the installed one (an older release)";
    default: return "not a release this installation can take";
    }
}

} // namespace

bool InstallationCanBeChanged(const CUpdateInputs& inputs, const std::string& work)
{
    // Without a folder every relative path would land in whatever the current directory is.
    if (inputs.setupDir.empty()) {
        CRunLog::Write(work + " refused: the record names no installation folder");
        return false;
    }
    // An installation this user may not write (made by an administrator, say) is left as it is:
    // failing half-way would leave it mixed. No elevation is asked for.
    if (!CWritableFolder::CanWrite(inputs.setupDir)) {
        CRunLog::Write(work + " refused: the installation folder " + inputs.setupDir + " cannot be written");
        return false;
    }
    return true;
}

int RunUpdate(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads)
{
    if (!InstallationCanBeChanged(inputs, "update")) return WorkerResult::kFailed;
    CRunLog::Write("updating " + inputs.setupDir + " from version " + inputs.installedVersion);

    IProgressBar& progress = view.Bar();
    const std::string serverFolder = CStringTable::Ansi(IDS_PRODUCT_FOLDER);

    SetStatus(view, IDS_FETCHING_COMPONENTS);
    progress.SetRange(0, 100);
    progress.SetStep(CUpdatePlan::kListFetchedStep);
    std::vector<std::string> lines;
    const CReleaseKey* releaseKey = CompiledReleaseKey();
    if (!downloads.GetFileList(serverFolder, lines, releaseKey)) {
        return WorkerResult::kFailed;
    }
    progress.StepIt();
    if (!downloads.PrepareTransfers()) {
        return WorkerResult::kFailed;
    }

    const CUpdatePlan plan = CUpdatePlan::Make(lines, inputs.installedVersion);
    if (plan.GetVerdict() != CUpdatePlan::Verdict::Ready) {
        CRunLog::Write(std::string("list refused: ") + RefusalText(plan.GetVerdict()));
        return WorkerResult::kFailed;
    }
    if (releaseKey && !plan.EveryUpdateHashed()) {
        CRunLog::Write("list refused: an entry to update has no SHA-256, which a signed release needs");
        return WorkerResult::kFailed;
    }
    CRunLog::Write("list accepted: version " + plan.NewVersion() + ", " + std::to_string(plan.UpdateCount()) +
                   " files to replace");

    // A folder that cannot be entered would send every file into the wrong one.
    CCurrentDirectoryScope installFolder;
    if (!installFolder.Enter(inputs.setupDir)) {
        CRunLog::Write("update failed: the installation folder " + inputs.setupDir + " cannot be entered");
        return WorkerResult::kFailed;
    }
    const HWND owner = view.QuestionOwner(); // question boxes never open behind the window
    RepairInterruptedRun(plan, owner);
    SetStatus(view, IDS_DOWNLOADING_FILES);
    progress.SetStep(plan.ProgressStep());
    SetRunBudget(downloads, plan);
    int position = CUpdatePlan::kListFetchedStep; // where the one step after the list left the bar
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (item.update && !ReplaceListedFile(downloads, item, serverFolder, owner)) {
            // Files replaced by earlier entries stay replaced; the version stays the old one,
            // so the next update offers all of them again.
            installFolder.Leave();
            return WorkerResult::kFailed;
        }
        // The position is kept here rather than asked of the bar: each question waits for the
        // dialog's thread.
        if (CUpdatePlan::StepsAfterEntry(position)) {
            position += plan.ProgressStep();
            progress.StepIt();
        }
    }

    progress.SetPos(100);
    SetStatus(view, IDS_COPYING_FILES);
    Sleep(kFullBarPauseMs);
    downloads.FinishTransfers();
    installFolder.Leave();
    SetStatus(view, IDS_SETTING_COMPONENTS);

    // Given before the result: OnClose reads the version only once it sees kUpdateDone. The
    // installed release itself leaves the record as it is.
    view.SetReplacedCount(plan.UpdateCount());
    if (!plan.IsInstalledRelease()) view.SetNewVersion(plan.NewVersion());
    return kUpdateDone;
}
