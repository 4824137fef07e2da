#include "update/RepairProcedure.h"

#include "crypt/ReleaseKey.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/WorkerResult.h"
#include "net/DownloadManager.h"
#include "res/resource.h"
#include "update/FileDigest.h"
#include "update/RepairCheck.h"
#include "update/UpdatePlan.h"
#include "update/UpdateProcedure.h"

#include <string>
#include <vector>

namespace {

CRepairCheck::Installed Examine(const std::string& path)
{
    CRepairCheck::Installed file;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return file;
    file.exists = true;
    file.size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.digest = [path] { return Sha256OfFile(path); };
    return file;
}

const char* StateText(CRepairCheck::State state)
{
    return state == CRepairCheck::State::Missing ? "missing" : "damaged";
}

} // namespace

int RunRepair(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads)
{
    if (!InstallationCanBeChanged(inputs, "repair")) return WorkerResult::kFailed;

    IProgressBar& progress = view.Bar();
    view.SetStatus(CStringTable::Wide(IDS_FETCHING_COMPONENTS));
    progress.SetRange(0, 100);
    progress.SetStep(CUpdatePlan::kListFetchedStep);
    // The same verdict as the update's: an older release is refused, so nobody who answers the
    // updater's requests can put old bytes back through the repair.
    CListFacts facts;
    if (!FetchJudgedList(downloads, ListPurpose::Repair, inputs.installedVersion, facts) ||
        !downloads.PrepareTransfers())
        return WorkerResult::kFailed;
    progress.StepIt();
    const CUpdatePlan plan = CUpdatePlan::Make(facts.lines, inputs.installedVersion);
    if (plan.GetVerdict() != CUpdatePlan::Verdict::Ready) {
        CRunLog::Write("repair: the file list is no release list or names a path outside the product folder");
        return WorkerResult::kFailed;
    }
    // A newer release is installed whole, as the update would, and recorded.
    const bool newer = !plan.IsInstalledRelease();
    if (newer) CRunLog::Write("repair: the list is the newer version " + plan.NewVersion() + "; it is installed whole");

    CCurrentDirectoryScope installFolder;
    if (!installFolder.Enter(inputs.setupDir)) return WorkerResult::kFailed;
    RepairInterruptedRun(plan, view.QuestionOwner());
    view.SetStatus(CStringTable::Wide(IDS_DOWNLOADING_FILES));
    progress.SetStep(plan.ProgressStep());
    std::vector<const CUpdatePlan::Item*> items;
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (item.entry.IsEntry() && item.safe) {
            if (item.update) {
                items.push_back(&item);
            } else {
                const CRepairCheck::State state = CRepairCheck::Judge(item.entry, Examine(item.entry.RelativePath()));
                if (state != CRepairCheck::State::Good) {
                    CRunLog::Write(std::string("repair: ") + StateText(state) + ": " + item.entry.RelativePath());
                    items.push_back(&item);
                }
            }
        }
        if (CUpdatePlan::StepsAfterEntry(progress.GetPos())) progress.StepIt();
    }
    if (!StageAndCommit(view, downloads, inputs, plan, items, newer)) {
        CRunLog::Write("repair: nothing was replaced; the installation is as it was");
        return WorkerResult::kFailed;
    }
    progress.SetPos(100);
    installFolder.Leave();
    CRunLog::Write("repair: " + std::to_string(items.size()) + " file(s) repaired");
    view.SetReplacedCount(items.size());
    if (newer) view.SetNewVersion(plan.NewVersion());
    return kRepairDone;
}
