#include "install/InstallProcedure.h"
#include "crypt/ReleaseKey.h"
#include "fileops/FileOpEngine.h"
#include "fileops/ProductShortcuts.h"
#include "fileops/ShortcutHelper.h"
#include "fileops/WritableFolder.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "install/InstallView.h"
#include "launch/ProductCommandLine.h"
#include "net/DownloadManager.h"
#include "net/TransferPace.h"
#include "release/EntryHashes.h"
#include "release/EntrySizes.h"
#include "release/EntryPathSafety.h"
#include "release/FileListEntry.h"
#include "release/ListVerdict.h"
#include "release/ReleaseListCheck.h"
#include "update/Commit.h"
#include "res/resource.h"
#include <algorithm>
#include <climits>
#include <cwchar>
#include <set>
#include <string>
#include <utility>

namespace {

const char kStagingFolder[] = "tempZUM";
// Where the old product folder waits until the new one is complete.
const char kAsideSuffix[] = ".old";
// Where a staged tree that cannot be moved is copied before it takes the product folder's name.
const char kCopySuffix[] = ".new";
// Lets the user see a full bar before the next step takes it back.
constexpr DWORD kFullBarPauseMs = 500;

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

CFileListEntry EntryAt(const std::vector<std::string>& lines, size_t index)
{
    return CFileListEntry::Read(lines[index], CFileListEntry::Blanks::Trim);
}

} // namespace

CInstallProcedure::CInstallProcedure(IInstallView& view, CInstallInputs inputs, CDownloadManager& downloads)
    : m_view(view), m_inputs(std::move(inputs)), m_downloads(downloads), m_transferSink(view)
{
}

CInstallProcedure::~CInstallProcedure()
{
    // The manager outlives the procedure; it must not report to a sink that is gone.
    m_downloads.DetachProgressSink(&m_transferSink);
}

int CInstallProcedure::SizingStep(size_t lines)
{
    if (lines <= 2) return 1;
    return std::max(1, static_cast<int>(100 / (lines - 2)));
}

int CInstallProcedure::Run()
{
    // A folder this user may not write ends the run before anything is fetched.
    if (!CWritableFolder::CanCreateAndWrite(m_inputs.installDir)) {
        CRunLog::Write("install refused: the folder " + m_inputs.installDir + " cannot be written");
        return WorkerResult::kFailed;
    }
    CRunLog::Write("installing into " + m_inputs.installDir);
    const std::string product = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    m_installDir = m_inputs.installDir;
    m_productFolder = m_installDir + "\\" + product;
    RecoverInterruptedReplace();

    CListFacts facts;
    facts.purpose = ListPurpose::Install;
    if (!m_downloads.GetFileList(product, facts.lines, CompiledReleaseKey(), &facts.signature))
        return WorkerResult::kFailed;
    facts.nowUnixSeconds = CDownloadManager::UnixTime();
    const ListVerdict verdict = JudgeList(facts);
    if (verdict != ListVerdict::Usable) {
        CRunLog::Write(std::string("list refused: ") + ListVerdictText(verdict));
        return WorkerResult::kFailed;
    }
    const std::vector<std::string>& lines = facts.lines;
    // Only a list shaped like a release counts, and names from the network that would leave the
    // staging or product folder end the run before anything is written. Title and version must
    // reach the product whole: a command line that cannot hold them fails now, not after the
    // product folder was replaced. A build with a release key installs only hashed files.
    const std::string version = ListVersion(lines);
    std::string firstStart;
    if (!MakeFirstStartCommandLine(m_productFolder, CStringTable::Ansi(IDS_PRODUCT_EXE), version, lines[0],
                                   firstStart)) {
        CRunLog::Write("list refused: its title and version do not fit the product's command line");
        return WorkerResult::kFailed;
    }
    CRunLog::Write("list accepted: version " + version + ", title " + lines[0]);
    m_downloads.AttachProgressSink(&m_transferSink);
    m_view.SetRelease(lines[0], version);
    if (!m_downloads.PrepareTransfers()) return WorkerResult::kFailed;

    // Component information: count the entries and take their sizes from the list, or, where an
    // entry gives none, ask the server for them.
    m_view.ShowStatus(CStringTable::Wide(IDS_DOWNLOADING_FILES), CStringTable::Wide(IDS_FETCHING_COMPONENTS));
    m_view.FileBar().SetRange(0, 100);
    m_view.FileBar().SetStep(SizingStep(lines.size()));
    const bool listedSizes = EverySizeListed(lines);
    int fileCount = 0;
    long long totalSize = 0;
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (entry.IsEntry()) {
            ++fileCount;
            // Failure answers (-1, 0, 401) are no sizes.
            const long long size =
                listedSizes ? entry.Size() : m_downloads.GetRemoteFileSize(entry.ServerPath(product));
            if (size > 0) totalSize += size;
        }
        if (m_view.FileBar().GetPos() < 90) m_view.FileBar().StepIt();
    }
    m_transferSink.SetTotalSize(totalSize);
    // Sizes the maker published bound the whole run too, not only each file.
    if (listedSizes) m_downloads.SetRunBudget(CTransferPace::RunBudgetMs(totalSize, static_cast<size_t>(fileCount)));
    m_view.FileBar().SetPos(100);
    m_view.TotalBar().SetRange(0, 100);
    m_view.TotalBar().SetStep(5);
    m_view.TotalBar().StepIt();

    CCurrentDirectoryScope current;
    // With the folders above it: the per-user programs folder may not exist yet.
    CWritableFolder::Create(m_installDir); // a failure shows when it is entered
    if (!current.Enter(m_installDir)) return WorkerResult::kFailed;
    {
        // A staging folder left by an interrupted run would slip stale files into the product.
        CFileOpEngine engine;
        engine.SetAskReadOnly(false);
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
    }
    CreateDirectoryA(kStagingFolder, nullptr);
    if (!current.Enter(m_installDir + "\\" + kStagingFolder)) return WorkerResult::kFailed;

    if (!StageFiles(lines, fileCount)) {
        CFileOpEngine engine;
        engine.SetOwner(m_view.QuestionOwner());
        current.Enter(m_installDir);
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
        return WorkerResult::kFailed;
    }
    m_downloads.FinishTransfers();

    // Copy the staged tree into place.
    m_view.TotalBar().SetPos(98);
    m_view.FileBar().SetPos(0);
    m_view.ShowStatus(CStringTable::Wide(IDS_COPYING_FILES), CStringTable::Wide(IDS_COPYING));
    current.Enter(m_installDir);
    m_view.FileBar().SetPos(50);
    bool replaced = ReplaceProductFolder();
    current.Leave();
    if (!replaced) {
        CRunLog::Write("the staged files could not take the place of " + m_productFolder);
        return WorkerResult::kFailed;
    }
    m_view.FileBar().SetPos(100);
    Sleep(kFullBarPauseMs);
    m_view.FileBar().SetPos(0);
    m_view.TotalBar().SetPos(99);

    // The installer writes nothing to the registry: the product keeps its own record.
    m_view.ShowStatus(CStringTable::Wide(IDS_SETTING_REGISTRY), CStringTable::Wide(IDS_SETTING_COMPONENTS));
    m_view.FileBar().SetPos(50);
    m_view.TotalBar().SetPos(100);
    m_view.FileBar().SetPos(100);
    Sleep(kFullBarPauseMs);

    CreateShortcuts();
    return m_inputs.options.runAfter ? kInstalledAndStart : kInstalled;
}

bool CInstallProcedure::StageFiles(const std::vector<std::string>& lines, int fileCount)
{
    const std::string product = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    m_view.SetDetailStatus(CStringTable::Wide(IDS_CREATING_FOLDERS));
    m_view.FileBar().SetPos(0);
    std::set<std::string> made; // each level once, however many files it holds
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (entry.IsEntry() && !entry.SubFolder().empty())
            for (const std::string& level : entry.FolderLevels())
                if (made.insert(level).second) CreateDirectoryA(level.c_str(), nullptr); // an existing level is fine
        m_view.FileBar().StepIt();
    }
    m_view.FileBar().SetPos(100);
    m_view.TotalBar().StepIt();
    m_view.TotalBar().SetStep(1);

    // Several files at once; the count and the lower bar follow them all together, the bar by
    // bytes where the list gives every size. Ten updates a second are plenty for the eye: each one
    // waits for the dialog's thread to paint.
    std::vector<CDownloadManager::CJob> jobs;
    std::vector<std::string> names;
    long long totalBytes = 0;
    bool everySize = true;
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (!entry.IsEntry()) continue;
        jobs.push_back({entry.ServerPath(product), entry.RelativePath(), std::string(),
                        CExpectedBody(entry.Hash(), entry.HasSize() ? entry.Size() : -1)});
        names.push_back(entry.RelativePath());
        everySize = everySize && entry.HasSize();
        if (entry.HasSize()) totalBytes += entry.Size();
    }
    const std::wstring downloading = CStringTable::Wide(IDS_DOWNLOADING_FILES);
    const int barStart = m_view.TotalBar().GetPos();
    const int barSpan = std::max(0, std::min(fileCount, 100 - barStart));
    int shownBar = barStart;
    std::size_t shownFiles = static_cast<std::size_t>(-1);
    auto progress = [&](long long bytes, std::size_t files) {
        if (files != shownFiles) {
            wchar_t count[64];
            std::swprintf(count, 64, L"(%d/%d)", static_cast<int>(files), fileCount);
            m_view.SetMainStatus(downloading + count);
            shownFiles = files;
        }
        const double done = everySize ? (totalBytes > 0 ? static_cast<double>(bytes) / totalBytes : 1.0)
                                      : static_cast<double>(files) / std::max(1, fileCount);
        const int position = barStart + static_cast<int>(barSpan * std::min(1.0, done));
        if (position != shownBar) m_view.TotalBar().SetPos(shownBar = position);
    };
    progress(0, 0); // the count shows from the start, not from the first report
    std::size_t failed = 0;
    if (!m_downloads.DownloadAll(jobs, progress, failed)) {
        CRunLog::Write("download failed: " + names[failed]);
        return false;
    }
    return true;
}

void CInstallProcedure::RecoverInterruptedReplace()
{
    // A run killed while it swapped the folders left the earlier installation aside: without a
    // product folder it is the only copy and comes back; beside a complete product folder it is
    // a leftover, deleted like any other old installation. A half copy is ours alone.
    const std::string aside = m_productFolder + kAsideSuffix;
    const std::string copy = m_productFolder + kCopySuffix;
    if (Exists(copy)) {
        CFileOpEngine leftover;
        leftover.SetAskReadOnly(false);
        leftover.Delete(copy);
    }
    if (!Exists(aside)) return;
    CFileOpEngine engine;
    engine.SetOwner(m_view.QuestionOwner());
    if (!Exists(m_productFolder)) {
        engine.Rename(aside, m_productFolder);
    } else if (engine.CanDelete(aside)) {
        engine.Delete(aside);
    }
}

bool CInstallProcedure::ReplaceProductFolder()
{
    // One commit of the same journal as the update's: the old product folder goes aside, the
    // staged tree takes its place, the old one goes. A kill at any moment is finished or undone
    // by the next start, whatever its mode.
    const std::string aside = m_productFolder + kAsideSuffix;
    if (Exists(aside)) {
        // The user kept the last leftover (read-only files): nothing was replaced, nothing lost.
        CFileOpEngine engine;
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
        return false;
    }
    CCommitJournal journal;
    CCommitJournal::Move move;
    move.folder = true;
    move.target = m_productFolder;
    move.backup = aside;
    move.staged = m_installDir + "\\" + kStagingFolder;
    move.existed = Exists(m_productFolder);
    journal.AddMove(move);
    if (CCommit::Run(journal, m_view.QuestionOwner())) return true;

    // Where the staged tree cannot be moved in one step, a copy beside the product folder is,
    // so a product folder is never half copied.
    const std::string copy = m_productFolder + kCopySuffix;
    CFileOpEngine copier;
    bool replaced = copier.Copy(kStagingFolder, copy);
    if (replaced) {
        move.staged = copy;
        CCommitJournal fromCopy;
        fromCopy.AddMove(move);
        replaced = CCommit::Run(fromCopy, m_view.QuestionOwner());
    }
    CFileOpEngine cleanup;
    cleanup.SetAskReadOnly(false);
    if (!replaced) cleanup.Delete(copy);
    cleanup.Delete(kStagingFolder);
    return replaced;
}

void CInstallProcedure::CreateShortcuts()
{
    const std::string target = m_productFolder + "\\" + CStringTable::Ansi(IDS_PRODUCT_EXE);
    // Wide: the Korean name has no 8-bit form on a system whose code page is not Korean.
    const std::wstring quickLaunch = CStringTable::Wide(IDS_QUICK_LAUNCH);
    const std::wstring product = CStringTable::Wide(IDS_PRODUCT_KEY);
    const std::wstring name = CStringTable::Wide(IDS_SHORTCUT_NAME);
    CShortcutHelper shortcuts;
    for (const CProductShortcut& shortcut : ProductShortcuts()) {
        if (!m_inputs.options.Wants(shortcut.which)) continue;
        // A shortcut that cannot be made does not undo the installation.
        shortcuts.CreateShortcut(target, shortcut.LinkName(name, quickLaunch, product), shortcut.specialFolder, name,
                                 "", 1);
    }
}
