#pragma once
// The install worker's procedure: fetches the file list, stages every file in "tempZUM", puts the
// staged tree in place of the product folder and makes the chosen shortcuts. It sees its dialog
// only through IInstallView and works from a copy of the user's choices, so it runs without a
// window too.
#include "framework/WorkerResult.h"
#include "install/InstallInputs.h"
#include "install/InstallProgressSink.h"

#include <string>
#include <vector>

class CDownloadManager;
class IInstallView;

class CInstallProcedure {
public:
    // The successes of a run, beside WorkerResult::kFailed.
    static constexpr int kInstalled = 2;         // the dialog tells the user it is done
    static constexpr int kInstalledAndStart = 3; // the dialog starts the product instead

    CInstallProcedure(IInstallView& view, CInstallInputs inputs, CDownloadManager& downloads);
    ~CInstallProcedure();
    CInstallProcedure(const CInstallProcedure&) = delete;
    CInstallProcedure& operator=(const CInstallProcedure&) = delete;

    // Runs the whole procedure and returns the result code.
    int Run();

    // The sizing step of the upper bar for a list of `lines` lines: 100 per entry line, at least 1.
    static int SizingStep(size_t lines);

private:
    bool StageFiles(const std::vector<std::string>& lines, int fileCount);
    void RecoverInterruptedReplace();
    bool ReplaceProductFolder();
    void CreateShortcuts();

    IInstallView& m_view;
    const CInstallInputs m_inputs;
    CDownloadManager& m_downloads;
    CInstallProgressSink m_transferSink;
    std::string m_installDir;
    std::string m_productFolder;
};
