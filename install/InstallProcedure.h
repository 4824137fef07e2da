#pragma once
// The install dialog's worker: fetches the file list, stages every file in "tempZUM", puts the
// staged tree in place of the product folder, makes the chosen shortcuts and hands the result
// to the dialog.
#include <string>
#include <vector>

class CInstallDlg;
class CWorkerDialog;

unsigned InstallThreadProc(CWorkerDialog* dialog);

class CInstallProcedure {
public:
    explicit CInstallProcedure(CInstallDlg& dialog) : m_dlg(dialog) {}
    // Runs the whole procedure and returns the result code (1 failed, 2 installed, 3 installed
    // and the product is to be started).
    int Run();

    // The sizing step of the upper bar for a list of `lines` lines: 100 per entry line, at least 1.
    static int SizingStep(size_t lines);
    // Every entry names a safe path (the list comes from the network).
    static bool AllEntriesSafe(const std::vector<std::string>& lines);

private:
    bool StageFiles(const std::vector<std::string>& lines, int fileCount);
    void RecoverInterruptedReplace();
    bool ReplaceProductFolder();
    void CreateShortcuts();

    CInstallDlg& m_dlg;
    std::string m_installDir;
    std::string m_productFolder;
};
