#include "uninstall/UnInstallDlg.h"

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

namespace {

// Time the product gets to close its files once asked to quit.
const DWORD kProductExitPause = 2000;
// Lets the user see the final status before the window goes.
const DWORD kFinalPause = 500;

} // namespace

CUnInstallDlg::CUnInstallDlg()
    : CDialog(IDD_UNINSTALL), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
}

BOOL CUnInstallDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    m_progress.Attach(GetDlgItem(IDC_REMOVE_PROGRESS));
    return TRUE;
}

BOOL CUnInstallDlg::PreTranslateMessage(MSG* msg)
{
    // Neither key may press a button: only a click starts or ends anything.
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

bool CUnInstallDlg::OnCommand(int id, int notifyCode)
{
    if (m_removing) return true;
    if (id == IDC_DELETE && notifyCode == BN_CLICKED) {
        OnDelete();
        return true;
    }
    return false;
}

void CUnInstallDlg::OnOK()
{
    if (!m_removing) CDialog::OnOK();
}

void CUnInstallDlg::OnCancel()
{
    if (!m_removing) CDialog::OnCancel();
}

void CUnInstallDlg::ShowStatus(UINT stringId) const
{
    SetDlgItemText(IDC_REMOVE_STATUS, CStringTable::Wide(stringId));
}

bool CUnInstallDlg::CanRemoveFolder(const std::string& folder)
{
    // Judged in the form the removal uses, where trailing blanks or separators name the folder
    // itself. No folder, or one that is gone already, leaves only the registry and the shortcuts.
    const std::string canonical = CanonicalFolder(folder);
    const DWORD attributes = canonical.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(canonical.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return CWritableFolder::CanWrite(canonical);
}

void CUnInstallDlg::StopWithNothingRemoved()
{
    // An installation this user may not change (one an administrator made, say) stays whole,
    // with its record and shortcuts, rather than half removed; no elevation is asked for. The
    // window stays until the user has read why and closes it.
    CRunLog::Write("result: nothing removed");
    ShowStatus(IDS_REMOVE_INCOMPLETE);
    m_removing = false;
    EnableWindow(GetDlgItem(IDOK), TRUE);
}

void CUnInstallDlg::OnDelete()
{
    m_removing = true;
    EnableWindow(GetDlgItem(IDC_DELETE), FALSE);
    EnableWindow(GetDlgItem(IDOK), FALSE);
    m_progress.SetRange(0, 100);
    m_progress.SetStep(10);
    ShowStatus(IDS_REMOVING_FOLDER);

    std::string folder;
    {
        CRegKey record = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
        // Read whole: a value longer than a path buffer still names the folder to remove.
        folder = CRegistryRemoval::ReadFolderValue(record.get(), CStringTable::Ansi(IDS_VALUE_SETUP_DIR));
        if (!CanRemoveFolder(folder)) {
            CRunLog::Write("uninstall refused: the folder \"" + folder + "\" cannot be written by this user");
            StopWithNothingRemoved();
            return;
        }
        AskProductToQuit(ReadRegString(record.get(), CStringTable::Ansi(IDS_VALUE_TITLE)), &PauseHandlingSentMessages);
        PauseHandlingSentMessages(kProductExitPause);
    }

    m_progress.SetPos(20);
    ShowStatus(IDS_REMOVING_REGISTRY);
    CFolderRemoval folders = CFolderRemoval::ForThisProgram(m_hWnd);
    CRegistryRemoval(folders).Run();
    if (!folder.empty()) folders.DeleteWithEngine(folder);

    m_progress.SetPos(60);
    ShowStatus(IDS_REMOVING_ICONS);
    CShortcutHelper shortcuts;
    // The plan only joins the names; UTF-8 carries the Korean ones through it intact on any
    // code page, and the shell gets them wide.
    for (const CRemovalShortcut& shortcut : RemovalShortcuts(Utf8FromWide(CStringTable::Wide(IDS_SHORTCUT_NAME)),
                                                             Utf8FromWide(CStringTable::Wide(IDS_QUICK_LAUNCH)),
                                                             Utf8FromWide(CStringTable::Wide(IDS_PRODUCT_KEY)))) {
        shortcuts.DeleteShortcut(WideFromUtf8(shortcut.linkName), shortcut.specialFolder);
        m_progress.SetPos(shortcut.barAfter);
    }

    // Once more through the shell, for whatever the product still held open a moment ago; only
    // then is it known whether everything went. What did go stays gone either way.
    if (!folder.empty()) folders.DeleteWithShell(folder);
    // Once the product folder is gone: the maker's folder may be empty now.
    if (!folder.empty()) folders.RemoveEmptyMakerFolder(folder, CStringTable::Ansi(IDS_MAKER_NAME));
    const bool complete = folders.RemovedCompletely();
    CRunLog::Write(complete ? "result: removed completely" : "result: some files could not be removed");
    ShowStatus(complete ? IDS_REMOVE_DONE : IDS_REMOVE_INCOMPLETE);

    PauseHandlingSentMessages(kFinalPause);
    CDialog::OnOK(); // as the Close button would, past the guard of OnOK
}
