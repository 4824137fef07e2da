#include "uninstall/ProductRemoval.h"

#include "fileops/FolderGuard.h"
#include "fileops/ShortcutHelper.h"
#include "fileops/WritableFolder.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/TextConvert.h"
#include "framework/Wait.h"
#include "install/InstallRecord.h"
#include "res/resource.h"
#include "uninstall/FolderRemoval.h"
#include "uninstall/ProductQuit.h"
#include "uninstall/RegistryRemoval.h"
#include "uninstall/RemovalPlan.h"
#include "uninstall/RemovalView.h"

namespace {

// Time the product gets to close its files once asked to quit.
const DWORD kProductExitPause = 2000;

} // namespace

bool CProductRemoval::CanRemoveFolder(const std::string& folder)
{
    // Judged in the form the removal uses, where trailing blanks or separators name the folder
    // itself. No folder, or one that is gone already, leaves only the registry and the shortcuts.
    const std::string canonical = CanonicalFolder(folder);
    const DWORD attributes = canonical.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(canonical.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return CWritableFolder::CanWrite(canonical);
}

CProductRemoval::Outcome CProductRemoval::Run(IRemovalView& view)
{
    IProgressBar& progress = view.Bar();
    progress.SetRange(0, 100);
    progress.SetStep(10);
    view.ShowStatus(IDS_REMOVING_FOLDER);

    std::string folder;
    {
        CRegKey record = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
        // Read whole: a value longer than a path buffer still names the folder to remove.
        folder = CRegistryRemoval::ReadFolderValue(record.get(), CStringTable::Ansi(IDS_VALUE_SETUP_DIR));
        if (!CanRemoveFolder(folder)) {
            CRunLog::Write("uninstall refused: the folder \"" + folder + "\" cannot be written by this user");
            return Outcome::NothingRemoved;
        }
        AskProductToQuit(ReadRegString(record.get(), CStringTable::Ansi(IDS_VALUE_TITLE)), &PauseHandlingSentMessages);
        PauseHandlingSentMessages(kProductExitPause);
    }

    progress.SetPos(20);
    view.ShowStatus(IDS_REMOVING_REGISTRY);
    CFolderRemoval folders = CFolderRemoval::ForThisProgram(view.QuestionOwner());
    CRegistryRemoval(folders).Run();
    if (!folder.empty()) folders.DeleteWithEngine(folder);

    progress.SetPos(60);
    view.ShowStatus(IDS_REMOVING_ICONS);
    CShortcutHelper shortcuts;
    // The plan only joins the names; UTF-8 carries the Korean ones through it intact on any
    // code page, and the shell gets them wide.
    for (const CRemovalShortcut& shortcut : RemovalShortcuts(Utf8FromWide(CStringTable::Wide(IDS_SHORTCUT_NAME)),
                                                             Utf8FromWide(CStringTable::Wide(IDS_QUICK_LAUNCH)),
                                                             Utf8FromWide(CStringTable::Wide(IDS_PRODUCT_KEY)))) {
        shortcuts.DeleteShortcut(WideFromUtf8(shortcut.linkName), shortcut.specialFolder);
        progress.SetPos(shortcut.barAfter);
    }

    // Once more through the shell, for whatever the product still held open a moment ago; only
    // then is it known whether everything went. What did go stays gone either way.
    if (!folder.empty()) folders.DeleteWithShell(folder);
    // Once the product folder is gone: the maker's folder may be empty now.
    if (!folder.empty()) folders.RemoveEmptyMakerFolder(folder, CStringTable::Ansi(IDS_MAKER_NAME));
    const bool complete = folders.RemovedCompletely();
    CRunLog::Write(complete ? "result: removed completely" : "result: some files could not be removed");
    return complete ? Outcome::Removed : Outcome::Incomplete;
}
