// The install procedure without a window: a fake view records what the worker shows, and the
// test server plays the update server.
#include "install/InstallProcedure.h"
#include "install/InstallView.h"
#include "net/DownloadManager.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

namespace {

class CFakeBar : public IProgressBar {
public:
    void SetRange(int lower, int upper) override { m_lower = lower, m_upper = upper; }
    int SetPos(int pos) override { return Exchange(m_pos, pos); }
    int GetPos() const override { return m_pos; }
    int SetStep(int step) override { return Exchange(m_step, step); }
    // Past the top a control starts again from the bottom.
    int StepIt() override { return Exchange(m_pos, m_pos + m_step > m_upper ? m_lower : m_pos + m_step); }

private:
    static int Exchange(int& value, int next)
    {
        const int old = value;
        value = next;
        return old;
    }
    int m_lower = 0, m_upper = 100, m_pos = 0, m_step = 10;
};

class CFakeInstallView : public IInstallView {
public:
    void SetMainStatus(const std::wstring& text) override { mainTexts.push_back(text); }
    void SetDetailStatus(const std::wstring&) override {}
    IProgressBar& FileBar() override { return fileBar; }
    IProgressBar& TotalBar() override { return totalBar; }
    HWND QuestionOwner() const override { return nullptr; }
    void SetRelease(const std::string& t, const std::string& v) override { title = t, version = v; }

    std::vector<std::wstring> mainTexts;
    CFakeBar fileBar, totalBar;
    std::string title, version;
};

struct ProcedureCase {
    const char* name;
    std::string list;
    bool runAfter;
    int result;
    bool installed;
};

void PrintTo(const ProcedureCase& c, std::ostream* out)
{
    *out << c.name;
}

class InstallProcedureTest : public ::testing::TestWithParam<ProcedureCase> {};

TEST_P(InstallProcedureTest, RunsWithAFakeView)
{
    const ProcedureCase& c = GetParam();
    CScratchFolder server, target;
    ASSERT_TRUE(server.Write("update/Nuvra/_nuvr_file_list.lst", c.list));
    ASSERT_TRUE(server.Write("update/Nuvra/a.txt", "alpha"));
    CTestHttpServer http(server.Path());
    ASSERT_TRUE(http.Start());
    SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", http.HostPort().c_str());

    CFakeInstallView view;
    CDownloadManager downloads;
    CInstallInputs inputs;
    inputs.installDir = target.File("Morvel");
    inputs.options = {c.runAfter, false, false, false, false}; // no shortcuts: the shell stays out
    EXPECT_EQ(c.result, CInstallProcedure(view, inputs, downloads).Run());
    http.Stop();

    EXPECT_EQ(c.installed, target.Exists("Morvel/Nuvra/a.txt"));
    EXPECT_FALSE(target.Exists("Morvel/tempZUM"));
    if (c.installed) {
        EXPECT_EQ("alpha", target.Read("Morvel/Nuvra/a.txt"));
        EXPECT_EQ("Sample", view.title);
        EXPECT_EQ("1.0.0", view.version);
        EXPECT_EQ(100, view.totalBar.GetPos());
    } else {
        // Refused before any file was fetched: the list was the only request.
        EXPECT_EQ(1u, http.Requests().size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, InstallProcedureTest,
    ::testing::Values(ProcedureCase{"Installed", "Sample\r\n1.0.0\r\nentry,a.txt,1.0.0,,N,\r\n", false,
                                    CInstallProcedure::kInstalled, true},
                      ProcedureCase{"InstalledAndStart", "Sample\r\n1.0.0\r\nentry,a.txt,1.0.0,,N,\r\n", true,
                                    CInstallProcedure::kInstalledAndStart, true},
                      ProcedureCase{"NotARelease", "<html>login</html>\r\n", false, WorkerResult::kFailed, false},
                      ProcedureCase{"UnsafeName", "Sample\r\n1.0.0\r\nentry,..\\a.txt,1.0.0,,N,\r\n", false,
                                    WorkerResult::kFailed, false}),
    [](const ::testing::TestParamInfo<ProcedureCase>& info) { return std::string(info.param.name); });

} // namespace
