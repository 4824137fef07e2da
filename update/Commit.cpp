#include "update/Commit.h"

#include "fileops/FileOpEngine.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "install/InstallRecord.h"
#include "res/resource.h"
#include "update/FileDigest.h"

#include <shlobj.h>

#include <fstream>
#include <sstream>

namespace {

using Move = CCommitJournal::Move;

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Replace(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// Every folder above `path` that is missing (a file the new release adds in a new folder).
void CreateFoldersAbove(const std::string& path)
{
    for (std::size_t at = path.find_first_of("\\/", 3); at != std::string::npos; at = path.find_first_of("\\/", at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr); // an existing level is fine
}

// Whether the file is what the journal says the staged one was (its size and digest, where
// known); a folder only has to be there.
bool IsStagedRelease(const Move& move, const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (move.folder) return folder;
    if (folder) return false;
    const long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (move.size >= 0 && size != move.size) return false;
    return move.sha256.empty() || Sha256OfFile(path) == move.sha256;
}

bool PutAside(const Move& move)
{
    if (!move.existed || Exists(move.backup)) return true;
    if (move.copyAside) return CopyFileA(move.target.c_str(), move.backup.c_str(), FALSE) != FALSE;
    // A program that runs cannot be overwritten or deleted, but it can be renamed.
    return MoveFileA(move.target.c_str(), move.backup.c_str()) != FALSE;
}

bool MoveIn(const Move& move)
{
    if (!Exists(move.staged)) return true; // moved in already
    CreateFoldersAbove(move.target);
    return move.folder ? MoveFileA(move.staged.c_str(), move.target.c_str()) != FALSE
                       : Replace(move.staged, move.target);
}

std::string RecordedVersion()
{
    CRegKey key = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    return key ? ReadRegString(key.get(), CStringTable::Ansi(IDS_VALUE_VERSION)) : std::string();
}

bool WriteJournal(const CCommitJournal& journal)
{
    const std::string path = CCommit::JournalPath();
    if (path.empty()) return false;
    const std::string text = journal.Text();
    CHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    // On disk before the first rename: a journal that only the cache holds dies with a power cut.
    const bool ok = file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(file.get());
    if (!ok) {
        file.reset();
        DeleteFileA(path.c_str());
    }
    return ok;
}

void DeleteJournal()
{
    DeleteFileA(CCommit::JournalPath().c_str());
}

// Puts the installed release back: every target that was moved in goes back to the staging
// folder (kept for the next run), every backup back under its own name, the old record back.
void Undo(const CCommitJournal& journal)
{
    const std::vector<Move>& moves = journal.Moves();
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
        const bool movedIn = !Exists(move->staged) && Exists(move->target);
        if (movedIn && !MoveFileA(move->target.c_str(), move->staged.c_str()))
            CRunLog::Write("undo: " + move->target + " could not go back to the staging folder: Windows error " +
                           std::to_string(GetLastError()));
        if (move->existed && Exists(move->backup) && !Replace(move->backup, move->target))
            CRunLog::Write("undo: " + move->backup + " could not go back to " + move->target + ": Windows error " +
                           std::to_string(GetLastError()));
    }
    // The old version fits where it was; one that cannot be written back is named for whoever
    // mends the installation by hand.
    if (journal.HasRecord() && RecordedVersion() != journal.OldVersion() && !RecordProductVersion(journal.OldVersion()))
        CRunLog::Write("undo: the old version " + journal.OldVersion() + " could not be recorded again");
    DeleteJournal();
}

// After the record: what only the commit needed goes. A backup that cannot go now (in use, or
// read-only and kept by the user) stays; the next update deletes it or puts it back.
void CleanUp(const CCommitJournal& journal, HWND owner)
{
    for (const Move& move : journal.Moves()) {
        if (!move.existed || !Exists(move.backup)) continue;
        // The plain call first: the engine's way costs more, and only a read-only backup needs its question.
        if (!move.folder && DeleteFileA(move.backup.c_str())) continue;
        CFileOpEngine engine;
        engine.SetOwner(owner);
        if (engine.CanDelete(move.backup)) engine.Delete(move.backup);
    }
    if (!journal.StagingFolder().empty() && Exists(journal.StagingFolder())) {
        CFileOpEngine staging;
        staging.SetAskReadOnly(false); // ours alone
        staging.Delete(journal.StagingFolder());
    }
    DeleteJournal();
}

// Counts the steps, and tells when a test's simulated kill has come.
class CStepCount {
public:
    explicit CStepCount(std::size_t limit) : m_limit(limit) {}
    bool Stop() { return ++m_done >= m_limit; }

private:
    std::size_t m_limit;
    std::size_t m_done = 0;
};

} // namespace

std::string CCommit::JournalPath()
{
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    const std::string maker = std::string(folder) + "\\Morvel";
    CreateDirectoryA(maker.c_str(), nullptr); // an existing one is fine; a failure shows when it is written
    return maker + "\\NuvraUpdater.journal";
}

bool CCommit::Run(const CCommitJournal& journal, HWND owner, std::size_t stopAfterSteps)
{
    CStepCount steps(stopAfterSteps);
    if (!WriteJournal(journal)) {
        CRunLog::Write("commit not begun: its journal could not be written to " + JournalPath());
        return false;
    }
    if (steps.Stop()) return false;
    for (const Move& move : journal.Moves()) {
        if (move.existed) {
            if (!PutAside(move)) {
                CRunLog::Write("commit undone: " + move.target + " could not be moved aside: Windows error " +
                               std::to_string(GetLastError()));
                Undo(journal);
                return false;
            }
            if (steps.Stop()) return false;
        }
        if (!MoveIn(move)) {
            CRunLog::Write("commit undone: " + move.staged + " could not take the place of " + move.target +
                           ": Windows error " + std::to_string(GetLastError()));
            Undo(journal);
            return false;
        }
        if (steps.Stop()) return false;
    }
    if (journal.HasRecord()) {
        // The record is part of the commit: files of a release it does not name would be offered
        // again and again, or taken for the old release by a repair.
        if (!RecordProductVersion(journal.NewVersion())) {
            CRunLog::Write("commit undone: the version " + journal.NewVersion() + " could not be recorded");
            Undo(journal);
            return false;
        }
        if (steps.Stop()) return false;
    }
    CleanUp(journal, owner);
    return true;
}

void CCommit::RecoverInterrupted()
{
    const std::string path = JournalPath();
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return; // the usual case: no commit was interrupted
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    CCommitJournal journal;
    if (!CCommitJournal::Parse(text.str(), journal)) {
        CRunLog::Write("recovery: an incomplete commit journal was found; it was cut before the first rename, "
                       "nothing to mend");
        DeleteJournal();
        return;
    }
    const std::string release = journal.HasRecord() ? " of version " + journal.NewVersion() : std::string();
    for (const Move& move : journal.Moves()) {
        const bool ready =
            Exists(move.staged) ? IsStagedRelease(move, move.staged) : IsStagedRelease(move, move.target);
        if (!ready) {
            CRunLog::Write("recovery: undoing the interrupted commit" + release + ": " + move.staged +
                           " is missing or not the staged file");
            Undo(journal);
            return;
        }
    }
    CRunLog::Write("recovery: finishing the interrupted commit" + release +
                   ": every staged file is there and verified");
    for (const Move& move : journal.Moves()) {
        if (Exists(move.staged) && (!PutAside(move) || !MoveIn(move))) {
            CRunLog::Write("recovery: " + move.target + " could not be replaced (Windows error " +
                           std::to_string(GetLastError()) + "); undoing the commit instead");
            Undo(journal);
            return;
        }
    }
    if (journal.HasRecord() && !RecordProductVersion(journal.NewVersion())) {
        CRunLog::Write("recovery: the version " + journal.NewVersion() + " could not be recorded; undoing the commit");
        Undo(journal);
        return;
    }
    CleanUp(journal, nullptr);
}
