// Plays the user in the headless demo: runs NuvraUpdater.exe for one step (install, update or
// uninstall), presses what a user would press and saves screenshots of what was shown.
//
//   demo-pilot <install|update|uninstall> <NuvraUpdater.exe> <work folder> <screenshot folder>
#include "tests/e2e/UpdaterDriver.h"
#include "res/resource.h"
#include <cstdio>
#include <string>

namespace {

const char kInstallCaption[] = "모르벨 누브라 설치";
const char kUninstallCaption[] = "모르벨 누브라 삭제";

class CPilot {
public:
    CPilot(std::string updater, std::string work, std::string shots)
        : m_updater(std::move(updater)), m_work(std::move(work)), m_shots(std::move(shots)), m_driver(false)
    {
    }

    bool Install()
    {
        if (!Start("")) return false;
        HWND dialog = Wait(m_driver.WaitForWindow(kInstallCaption), "install dialog");
        if (!dialog) return false;
        Shot(dialog, "01-install-dialog");
        CUpdaterDriver::Click(dialog, IDC_INSTALL);
        Shot(dialog, "02-installing", 1500);
        if (!Wait(m_driver.WaitForExit(300000), "end of the installation")) return false;
        HWND product = FindWindowA(nullptr, "Morvel Nuvra");
        for (int i = 0; i < 100 && !product; ++i, Sleep(100)) product = FindWindowA(nullptr, "Morvel Nuvra");
        if (product) Shot(product, "03-product-running");
        return true;
    }

    bool Update()
    {
        if (!Start("-u")) return false;
        HWND question = Wait(m_driver.WaitForMessageBox("MorvelNuvraUpdater"), "update question");
        if (!question) return false;
        Shot(question, "04-update-question");
        CUpdaterDriver::Click(question, IDYES);
        HWND window = m_driver.WaitForWindowWhere([](HWND w) { return GetDlgItem(w, IDC_UPDATE_PROGRESS) != nullptr; });
        if (window) Shot(window, "05-updating", 1500);
        HWND done = Wait(m_driver.WaitForMessageBox("MorvelNuvraUpdater", 300000), "update result");
        if (!done) return false;
        Shot(done, "06-update-done");
        std::printf("update: %s\n", CUpdaterDriver::MessageBoxText(done).c_str());
        CUpdaterDriver::Click(done, IDOK);
        return Wait(m_driver.WaitForExit(60000), "end of the update");
    }

    bool Uninstall()
    {
        if (!Start("")) return false;
        HWND dialog = Wait(m_driver.WaitForWindow(kUninstallCaption), "uninstall dialog");
        if (!dialog) return false;
        Shot(dialog, "07-uninstall-dialog");
        CUpdaterDriver::Click(dialog, IDC_DELETE);
        Sleep(1500);
        Shot(dialog, "08-uninstalling");
        return Wait(m_driver.WaitForExit(120000), "end of the removal");
    }

private:
    bool Start(const std::string& tail)
    {
        std::string line = "\"" + m_updater + "\"" + (tail.empty() ? "" : " " + tail);
        return Wait(m_driver.Start(line, m_work), "start of NuvraUpdater.exe");
    }

    template <typename T>
    T Wait(T result, const char* what)
    {
        if (!result) std::fprintf(stderr, "demo-pilot: no %s\n", what);
        return result;
    }

    void Shot(HWND window, const std::string& name, DWORD delayMs = 600)
    {
        Sleep(delayMs); // let it paint, or let the work get going
        std::string path = m_shots + "\\" + name + ".bmp";
        if (CUpdaterDriver::SaveScreenshot(window, path)) std::printf("screenshot %s\n", name.c_str());
        std::fflush(stdout);
    }

    std::string m_updater, m_work, m_shots;
    CUpdaterDriver m_driver; // the product it starts keeps running after the pilot
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: demo-pilot <install|update|uninstall> <NuvraUpdater.exe> <work> <shots>\n");
        return 2;
    }
    CPilot pilot(argv[2], argv[3], argv[4]);
    std::string step = argv[1];
    bool ok = step == "install" ? pilot.Install()
        : step == "update"      ? pilot.Update()
        : step == "uninstall"   ? pilot.Uninstall()
                                : false;
    return ok ? 0 : 1;
}
