#include "install/InstallProcedure.h"
#include "crypt/ReleaseKey.h"
#include "fileops/FileOpEngine.h"
#include "fileops/ShortcutHelper.h"
#include "framework/CurrentDirectoryScope.h"
#include "framework/StringTable.h"
#include "install/EntryHashes.h"
#include "install/EntryPathSafety.h"
#include "install/FileListEntry.h"
#include "install/InstallDlg.h"
#include "res/resource.h"
#include <algorithm>
#include <climits>
#include <cwchar>

namespace {

const char kStagingFolder[] = "tempZUM";
// Where the old product folder waits until the new one is complete.
const char kAsideSuffix[] = ".old";

CFileListEntry EntryAt(const std::vector<std::string>& lines, size_t index)
{
    return CFileListEntry::Read(lines[index], CFileListEntry::Blanks::Trim);
}

} // namespace

unsigned InstallThreadProc(CWorkerDialog* dialog)
{
    auto* install = static_cast<CInstallDlg*>(dialog);
    if (!install->WaitForStart()) return 0;
    int result = CInstallProcedure(*install).Run();
    install->Finish(result);
    return 0;
}

int CInstallProcedure::SizingStep(size_t lines)
{
    if (lines <= 2) return 1;
    return std::max(1, static_cast<int>(100 / (lines - 2)));
}

std::vector<std::string> CInstallProcedure::FolderLevels(const std::string& subFolder)
{
    std::vector<std::string> levels;
    std::string level = subFolder;
    std::replace(level.begin(), level.end(), '/', '\\');
    for (size_t i = 0; i < level.size(); ++i)
        if (level[i] == '\\') levels.push_back(level.substr(0, i));
    if (!level.empty()) levels.push_back(level);
    return levels;
}

bool CInstallProcedure::AllEntriesSafe(const std::vector<std::string>& lines)
{
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (entry.IsEntry() && !IsSafeEntryPath(entry.SubFolder(), entry.FileName())) return false;
    }
    return true;
}

int CInstallProcedure::Run()
{
    const std::string product = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    std::vector<std::string> lines;
    const CReleaseKey* releaseKey = CompiledReleaseKey();
    if (!m_dlg.m_downloadManager.GetFileList(product, lines, releaseKey)) return 1;
    // Without title and version there is nothing to hand the product; names from the network
    // that would leave the staging or product folder end the run before anything is written.
    if (lines.size() < 2 || !AllEntriesSafe(lines)) return 1;
    if (releaseKey && !EveryEntryHashed(lines, CFileListEntry::Blanks::Trim)) return 1;
    m_dlg.m_downloadManager.AttachProgressSink(&m_dlg.m_transferSink);
    m_dlg.m_strTitle = lines[0];
    m_dlg.m_strVersion = lines[1];
    if (!m_dlg.m_downloadManager.PrepareTransfers()) return 1;

    // Component information: count the entries and ask the server for their sizes.
    m_dlg.ShowStatus(CStringTable::Wide(IDS_DOWNLOADING_FILES), CStringTable::Wide(IDS_FETCHING_COMPONENTS));
    m_dlg.m_progressFile.SetRange(0, 100);
    m_dlg.m_progressFile.SetStep(SizingStep(lines.size()));
    int fileCount = 0;
    long long totalSize = 0;
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (entry.IsEntry()) {
            ++fileCount;
            // Failure answers (-1, 0, 401) are no sizes; the sum stays within an int.
            int size = m_dlg.m_downloadManager.GetRemoteFileSize(entry.ServerPath(product));
            if (size > 0) totalSize = std::min<long long>(INT_MAX, totalSize + size);
            m_dlg.m_nTotalSize = static_cast<int>(totalSize);
        }
        if (m_dlg.m_progressFile.GetPos() < 90) m_dlg.m_progressFile.StepIt();
    }
    m_dlg.m_progressFile.SetPos(100);
    m_dlg.m_progressTotal.SetRange(0, 100);
    m_dlg.m_progressTotal.SetStep(5);
    m_dlg.m_progressTotal.StepIt();

    m_installDir = m_dlg.m_strInstallDir;
    m_productFolder = m_installDir + "\\" + product;
    CCurrentDirectoryScope current;
    CreateDirectoryA(m_installDir.c_str(), nullptr);  // fails harmlessly when it exists
    if (!current.Enter(m_installDir)) return 1;
    {
        // A staging folder left by an interrupted run would slip stale files into the product.
        CFileOpEngine engine;
        engine.SetAskReadOnly(false);
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
    }
    CreateDirectoryA(kStagingFolder, nullptr);
    if (!current.Enter(m_installDir + "\\" + kStagingFolder)) return 1;

    if (!StageFiles(lines, fileCount)) {
        CFileOpEngine engine;
        current.Enter(m_installDir);
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
        return 1;
    }
    m_dlg.m_downloadManager.FinishTransfers();

    // Copy the staged tree into place.
    m_dlg.m_progressTotal.SetPos(98);
    m_dlg.m_progressFile.SetPos(0);
    m_dlg.ShowStatus(CStringTable::Wide(IDS_COPYING_FILES), CStringTable::Wide(IDS_COPYING));
    current.Enter(m_installDir);
    m_dlg.m_progressFile.SetPos(50);
    bool replaced = ReplaceProductFolder();
    current.Leave();
    if (!replaced) return 1;
    m_dlg.m_progressFile.SetPos(100);
    Sleep(500);
    m_dlg.m_progressFile.SetPos(0);
    m_dlg.m_progressTotal.SetPos(99);

    // The installer writes nothing to the registry: the product keeps its own record.
    m_dlg.ShowStatus(CStringTable::Wide(IDS_SETTING_REGISTRY), CStringTable::Wide(IDS_SETTING_COMPONENTS));
    m_dlg.m_progressFile.SetPos(50);
    m_dlg.m_progressTotal.SetPos(100);
    m_dlg.m_progressFile.SetPos(100);
    Sleep(500);

    CreateShortcuts();
    return m_dlg.m_options.runAfter ? 3 : 2;
}

bool CInstallProcedure::StageFiles(const std::vector<std::string>& lines, int fileCount)
{
    const std::string product = CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    m_dlg.SetDetailStatus(CStringTable::Wide(IDS_CREATING_FOLDERS));
    m_dlg.m_progressFile.SetPos(0);
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (entry.IsEntry() && !entry.SubFolder().empty())
            for (const std::string& level : FolderLevels(entry.SubFolder()))
                CreateDirectoryA(level.c_str(), nullptr);  // an existing level is fine
        m_dlg.m_progressFile.StepIt();
    }
    m_dlg.m_progressFile.SetPos(100);
    m_dlg.m_progressTotal.StepIt();
    m_dlg.m_progressTotal.SetStep(1);

    const std::wstring downloading = CStringTable::Wide(IDS_DOWNLOADING_FILES);
    for (size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = EntryAt(lines, i);
        if (!entry.IsEntry()) continue;
        wchar_t count[64];
        std::swprintf(count, 64, L"(%d/%d)", static_cast<int>(i - 1), fileCount);
        m_dlg.SetMainStatus(downloading + count);
        if (!m_dlg.m_downloadManager.DownloadFile(entry.ServerPath(product), entry.RelativePath(), entry.Hash()))
            return false;
        m_dlg.m_progressTotal.StepIt();
    }
    return true;
}

bool CInstallProcedure::ReplaceProductFolder()
{
    // The old product folder is only moved aside until the new one is complete, so a failed
    // copy leaves the earlier installation as it was.
    const std::string aside = m_productFolder + kAsideSuffix;
    CFileOpEngine engine;
    if (GetFileAttributesA(aside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        CFileOpEngine leftover;  // our own remains of an interrupted run
        leftover.SetAskReadOnly(false);
        leftover.Delete(aside);
    }
    bool hadProduct = GetFileAttributesA(m_productFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hadProduct && !engine.Rename(m_productFolder, aside)) {
        // In use or locked: nothing was replaced, so nothing is lost either.
        if (engine.CanDelete(kStagingFolder)) engine.Delete(kStagingFolder);
        return false;
    }
    // The staged tree becomes the product folder: moved in one step on the same volume, copied
    // where that cannot be done.
    bool moved = MoveFileA(kStagingFolder, m_productFolder.c_str()) != FALSE;
    if (!moved) CreateDirectoryA(m_productFolder.c_str(), nullptr);
    if (!moved && !engine.Copy(kStagingFolder, m_productFolder)) {
        CFileOpEngine cleanup;
        cleanup.SetAskReadOnly(false);
        cleanup.Delete(m_productFolder);
        if (hadProduct) cleanup.Rename(aside, m_productFolder);
        cleanup.Delete(kStagingFolder);
        return false;
    }
    // The earlier installation goes now; read-only files in it are asked about, and what the
    // user keeps stays in the folder aside.
    if (hadProduct) {
        CFileOpEngine old;
        if (old.CanDelete(aside)) old.Delete(aside);
    }
    CFileOpEngine staging;
    if (staging.CanDelete(kStagingFolder)) staging.Delete(kStagingFolder);
    return true;
}

void CInstallProcedure::CreateShortcuts()
{
    const std::string target = m_productFolder + "\\" + CStringTable::Ansi(IDS_PRODUCT_EXE);
    const std::string quickLaunch = CStringTable::Ansi(IDS_QUICK_LAUNCH) + CStringTable::Ansi(IDS_PRODUCT_KEY);
    const std::string name = CStringTable::Ansi(IDS_SHORTCUT_NAME);
    const CInstallDlg::COptions& options = m_dlg.m_options;
    CShortcutHelper shortcuts;
    // A shortcut that cannot be made does not undo the installation.
    if (options.quickLaunch) shortcuts.CreateShortcut(target, quickLaunch, CShortcutHelper::AppData, name, "", 1);
    if (options.desktop) shortcuts.CreateShortcut(target, name, CShortcutHelper::Desktop, name, "", 1);
    if (options.startMenu) shortcuts.CreateShortcut(target, name, CShortcutHelper::StartMenu, name, "", 1);
    if (options.programsMenu) shortcuts.CreateShortcut(target, name, CShortcutHelper::Programs, name, "", 1);
}
