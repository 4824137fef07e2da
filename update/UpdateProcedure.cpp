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
#include "update/Commit.h"
#include "update/UpdatePlan.h"
#include "update/UpdateStaging.h"

#include <algorithm>
#include <climits>
#include <set>
#include <string>
#include <vector>

namespace {

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

namespace {

using Items = std::vector<const CUpdatePlan::Item*>;

// With every size to be fetched in the list, the run has a deadline derived from them.
void SetRunBudget(CDownloadManager& downloads, const Items& toFetch)
{
    long long total = 0;
    for (const CUpdatePlan::Item* item : toFetch) {
        if (!item->entry.HasSize()) return;
        total += item->entry.Size();
    }
    downloads.SetRunBudget(CTransferPace::RunBudgetMs(total, toFetch.size()));
}

// The sizes still to be staged must fit on the installation's volume: a disk that fills half-way
// through would only fail later.
bool EnoughSpace(const std::string& folder, const Items& toFetch)
{
    long long needed = 0;
    for (const CUpdatePlan::Item* item : toFetch)
        if (item->entry.HasSize())
            needed += std::max(0LL, item->entry.Size() - CUpdateStaging::PartialBytes(item->entry));
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) {
        // Not knowing is no reason to refuse: a full disk still fails the download, changing nothing.
        CRunLog::Write("the free space of " + folder + " is unknown: Windows error " + std::to_string(GetLastError()));
        return true;
    }
    const long long free = static_cast<long long>(std::min<unsigned long long>(available.QuadPart, LLONG_MAX));
    if (free >= needed) return true;
    CRunLog::Write("not enough space to stage the release: " + std::to_string(needed) + " bytes needed, " +
                   std::to_string(free) + " free on the volume of " + folder + ", " + std::to_string(needed - free) +
                   " bytes short");
    return false;
}

// Downloads every file to fetch into the staging folder, several at once, each checked as it
// arrives. The order in which they arrive plays no role: nothing is installed until the commit,
// whose journal follows the list. The bar moves by the bytes of all transfers together (by files
// where the list gives no sizes).
bool StageFiles(CDownloadManager& downloads, const Items& toFetch, const std::string& serverFolder, IProgressBar& bar)
{
    std::vector<CDownloadManager::CJob> jobs;
    long long totalBytes = 0;
    bool everySize = true;
    for (const CUpdatePlan::Item* item : toFetch) {
        const CFileListEntry& entry = item->entry;
        CUpdateStaging::MakeFoldersFor(entry);
        jobs.push_back({entry.ServerPath(serverFolder), CUpdateStaging::StagedPath(entry),
                        CUpdateStaging::PartialPath(entry), Expected(entry)});
        everySize = everySize && entry.HasSize();
        if (entry.HasSize()) totalBytes += entry.Size();
    }
    const int from = bar.GetPos();
    int shown = from; // kept here: asking the bar waits for the dialog's thread
    auto progress = [&](long long bytes, std::size_t files) {
        const double done = everySize ? (totalBytes > 0 ? static_cast<double>(bytes) / totalBytes : 1.0)
                                      : static_cast<double>(files) / jobs.size();
        const int position = from + static_cast<int>((CUpdatePlan::kStepLimit - from) * std::min(1.0, done));
        if (position != shown) bar.SetPos(shown = position);
    };
    std::size_t failed = 0;
    if (!downloads.DownloadAll(jobs, progress, failed)) {
        CRunLog::Write("update failed: " + toFetch[failed]->entry.RelativePath() +
                       " could not be staged; nothing installed has changed");
        return false;
    }
    return true;
}

std::string InFolder(const std::string& folder, const std::string& relative)
{
    std::string path = folder + "\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

bool StageAndCommit(IUpdateView& view, CDownloadManager& downloads, const CUpdateInputs& inputs,
                    const CUpdatePlan& plan, const Items& items, bool recordVersion)
{
    const std::string serverFolder = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    CCommitJournal journal;
    if (recordVersion) journal.SetRecord(inputs.installedVersion, plan.NewVersion());
    if (!items.empty()) {
        if (!CUpdateStaging::Prepare(plan.NewVersion())) {
            CRunLog::Write("update failed: the staging folder cannot be made in " + inputs.setupDir);
            return false;
        }
        Items toFetch;
        for (const CUpdatePlan::Item* item : items)
            if (!CUpdateStaging::HasVerified(item->entry)) toFetch.push_back(item);
        CRunLog::Write(std::to_string(items.size() - toFetch.size()) + " of " + std::to_string(items.size()) +
                       " files staged already, " + std::to_string(toFetch.size()) + " to download");
        if (!EnoughSpace(inputs.setupDir, toFetch)) return false;
        view.SetStatus(CStringTable::Wide(IDS_DOWNLOADING_FILES));
        SetRunBudget(downloads, toFetch);
        if (!StageFiles(downloads, toFetch, serverFolder, view.Bar())) return false;
        downloads.FinishTransfers();

        journal.SetStagingFolder(InFolder(inputs.setupDir, CUpdateStaging::kFolder));
        for (const CUpdatePlan::Item* item : items) {
            CCommitJournal::Move move;
            move.target = InFolder(inputs.setupDir, item->entry.RelativePath());
            move.backup = InFolder(inputs.setupDir, item->backup);
            move.staged = InFolder(inputs.setupDir, CUpdateStaging::StagedPath(item->entry));
            move.existed = GetFileAttributesA(move.target.c_str()) != INVALID_FILE_ATTRIBUTES;
            move.copyAside = item->entry.ReplacesInPlace();
            move.size = item->entry.HasSize() ? item->entry.Size() : -1;
            move.sha256 = item->entry.Hash();
            journal.AddMove(move);
        }
    }
    view.Bar().SetPos(CUpdatePlan::kStepLimit);
    view.SetStatus(CStringTable::Wide(IDS_COPYING_FILES));
    if (!CCommit::Run(journal, view.QuestionOwner())) return false;
    CRunLog::Write("committed " + std::to_string(items.size()) + " files" +
                   (recordVersion ? ", version " + plan.NewVersion() + " recorded" : std::string()));
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
    CListFacts facts;
    if (!FetchJudgedList(downloads, ListPurpose::Update, inputs.installedVersion, facts)) return WorkerResult::kFailed;
    progress.StepIt();
    if (!downloads.PrepareTransfers()) return WorkerResult::kFailed;

    const CUpdatePlan plan = CUpdatePlan::Make(facts.lines, inputs.installedVersion);
    if (plan.GetVerdict() != CUpdatePlan::Verdict::Ready) {
        CRunLog::Write(std::string("list refused: ") + RefusalText(plan.GetVerdict()));
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
    // Also when nothing is new: the backup of an updater that was running is cleared here.
    RepairInterruptedRun(plan, view.QuestionOwner());
    if (plan.IsInstalledRelease()) {
        // The installed release itself: nothing to replace, nothing to record.
        progress.SetPos(100);
        view.SetReplacedCount(0);
        return kUpdateDone;
    }
    std::vector<const CUpdatePlan::Item*> items;
    for (const CUpdatePlan::Item& item : plan.Items())
        if (item.update) items.push_back(&item);
    if (!StageAndCommit(view, downloads, inputs, plan, items, true)) {
        // Every installed file and the record are as they were; what was staged stays staged.
        return WorkerResult::kFailed;
    }
    installFolder.Leave();
    progress.SetPos(100);
    SetStatus(view, IDS_SETTING_COMPONENTS);
    // Given before the result, for the window's log and message; the commit recorded it.
    view.SetReplacedCount(items.size());
    view.SetNewVersion(plan.NewVersion());
    return kUpdateDone;
}

bool FetchJudgedList(CDownloadManager& downloads, ListPurpose purpose, const std::string& installedVersion,
                     CListFacts& facts)
{
    facts.purpose = purpose;
    facts.installedVersion = installedVersion;
    if (!downloads.GetFileList(CStringTable::Ansi(IDS_PRODUCT_FOLDER), facts.lines, CompiledReleaseKey(),
                               &facts.signature))
        return false;
    facts.nowUnixSeconds = CDownloadManager::UnixTime();
    const ListVerdict verdict = JudgeList(facts);
    if (verdict == ListVerdict::Usable) return true;
    CRunLog::Write(std::string("list refused: ") + ListVerdictText(verdict));
    return false;
}
