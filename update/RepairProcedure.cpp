#include "update/RepairProcedure.h"

#include "crypt/ReleaseKey.h"
#include "crypt/Sha256.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/WorkerResult.h"
#include "net/DownloadManager.h"
#include "release/EntryHashes.h"
#include "res/resource.h"
#include "update/RepairCheck.h"
#include "update/UpdatePlan.h"
#include "update/UpdateProcedure.h"

#include <string>
#include <vector>

namespace {

constexpr DWORD kReadChunk = 64 * 1024;

// The file's SHA-256 as hex, "" when it cannot be read to its end.
std::string DigestOfFile(const std::string& path)
{
    CHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::string();
    CSha256 hash;
    std::vector<unsigned char> buffer(kReadChunk);
    DWORD read = 0;
    while (ReadFile(file.get(), buffer.data(), kReadChunk, &read, nullptr)) {
        if (read == 0) return CSha256::ToHex(hash.Finish());
        hash.Update(buffer.data(), read);
    }
    return std::string();
}

CRepairCheck::Installed Examine(const std::string& path)
{
    CRepairCheck::Installed file;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return file;
    file.exists = true;
    file.size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.digest = [path] { return DigestOfFile(path); };
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
    const std::string serverFolder = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    view.SetStatus(CStringTable::Wide(IDS_FETCHING_COMPONENTS));
    progress.SetRange(0, 100);
    progress.SetStep(CUpdatePlan::kListFetchedStep);
    std::vector<std::string> lines;
    const CReleaseKey* releaseKey = CompiledReleaseKey();
    if (!downloads.GetFileList(serverFolder, lines, releaseKey) || !downloads.PrepareTransfers())
        return WorkerResult::kFailed;
    progress.StepIt();

    // Every entry is a candidate here, not only the newer ones: each must be shaped like a
    // release and name a path inside the product folder before any is touched. A build with a
    // release key repairs only from a list whose every file it can check.
    const CUpdatePlan plan = CUpdatePlan::Make(lines, std::string());
    if (plan.GetVerdict() != CUpdatePlan::Verdict::Ready) {
        CRunLog::Write("repair: the file list is no release list or names a path outside the product folder");
        return WorkerResult::kFailed;
    }
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (item.entry.IsEntry() && !item.safe) {
            CRunLog::Write("repair: the file list names a path outside the product folder: " +
                           item.entry.RelativePath());
            return WorkerResult::kFailed;
        }
    }
    if (releaseKey && !EveryEntryHashed(lines, CFileListEntry::Blanks::Trim)) {
        CRunLog::Write("repair: the signed file list has an entry without a hash");
        return WorkerResult::kFailed;
    }

    CCurrentDirectoryScope installFolder;
    if (!installFolder.Enter(inputs.setupDir)) return WorkerResult::kFailed;
    const HWND owner = view.QuestionOwner();
    RepairInterruptedRun(plan, owner);
    view.SetStatus(CStringTable::Wide(IDS_DOWNLOADING_FILES));
    progress.SetStep(plan.ProgressStep());
    std::size_t repaired = 0;
    for (const CUpdatePlan::Item& item : plan.Items()) {
        if (item.entry.IsEntry()) {
            const CRepairCheck::State state = CRepairCheck::Judge(item.entry, Examine(item.entry.RelativePath()));
            if (state != CRepairCheck::State::Good) {
                CRunLog::Write(std::string("repair: ") + StateText(state) + ": " + item.entry.RelativePath());
                if (!ReplaceListedFile(downloads, item, serverFolder, owner)) {
                    // What was repaired before stays repaired; the rest is as it was.
                    CRunLog::Write("repair: could not replace " + item.entry.RelativePath());
                    return WorkerResult::kFailed;
                }
                ++repaired;
            }
        }
        if (CUpdatePlan::StepsAfterEntry(progress.GetPos())) progress.StepIt();
    }
    progress.SetPos(100);
    downloads.FinishTransfers();
    installFolder.Leave();
    CRunLog::Write("repair: " + std::to_string(repaired) + " file(s) repaired");
    view.SetReplacedCount(repaired);
    return kRepairDone;
}
