// A program built with a release key: it installs and updates only from a file list signed with
// that key, whose entries all carry hashes; anything else ends with message 106 before any file
// is asked for.
#include "tests/e2e/E2EFixture.h"
#include "tests/e2e/TestListSigner.h"
#include "res/resource.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

namespace {

const char kTitle[] = "Morvel Nuvra";
const char kInstallCaption[] = "모르벨 누브라 설치";
const char kError106[] = "컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.";
const char kDone137[] = "모르벨 누브라 업데이트를 완료하였습니다.";
const char kListFile[] = "update/Nuvra/_nuvr_file_list.lst";
const char kSignatureFile[] = "update/Nuvra/_nuvr_file_list.lst.sig";
const char kProductFolder[] = "signed product";

namespace fs = std::filesystem;

std::string ZPath(std::string unixPath)
{
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

bool IsUpdateWindow(HWND window)
{
    return GetDlgItem(window, IDC_UPDATE_PROGRESS) && GetDlgItem(window, IDC_UPDATE_STATUS);
}

class SignedRelease : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        RemoveInstallation();
    }
    void TearDown() override
    {
        E2EFixture::TearDown();
        RemoveInstallation();
    }

    static std::string InstallDir() { return "C:\\Program Files\\Morvel"; }
    static std::string InstalledProduct() { return InstallDir() + "\\Nuvra"; }
    static void RemoveInstallation()
    {
        std::error_code ignored; // absent is what is wanted
        fs::remove_all(InstallDir(), ignored);
    }

    std::vector<CReleaseFile> Release() const
    {
        return {
            SampleProduct(), {"", "config.ini", "[nuvra]\r\ninterval=60\r\n"}, {"doc", "readme.txt", "Morvel Nuvra\n"}};
    }

    // The list as published now, signed with `signer`.
    void SignList(const CTestListSigner& signer)
    {
        ASSERT_TRUE(signer.IsReady());
        std::string signature = signer.Sign(ReadFile(Work("server/") + kListFile));
        ASSERT_FALSE(signature.empty());
        WriteServerFile(kSignatureFile, signature);
    }

    static const CTestListSigner& ReleaseKey()
    {
        static const CTestListSigner signer(NUVRA_TEST_PRIVATE_KEY_HEX);
        return signer;
    }

    // Starts the program and presses Install with the dialog's defaults (start the product after).
    bool StartInstall()
    {
        if (!Run()) return false;
        HWND dialog = Driver().WaitForWindow(kInstallCaption);
        if (!dialog) return false;
        CUpdaterDriver::Click(dialog, IDC_INSTALL);
        return true;
    }

    // Starts "-u" and says Yes.
    bool StartUpdate()
    {
        return Run("-u") && Driver().Answer(kQuestionCaption, IDYES) &&
            Driver().WaitForWindowWhere(IsUpdateWindow) != nullptr;
    }

    // Presses OK on the final message box, which has this caption; gives its text.
    std::string FinalMessage(const std::string& caption)
    {
        std::string text;
        if (!Driver().Answer(caption, IDOK, &text, 60000)) return "<no message box captioned " + caption + ">";
        EXPECT_TRUE(Driver().WaitForExit(20000));
        return text;
    }

    void InstallProductFolder(const std::vector<CReleaseFile>& files, const std::string& version)
    {
        for (const CReleaseFile& file : files) {
            std::string relative =
                std::string(kProductFolder) + "/" + (file.subFolder.empty() ? "" : file.subFolder + "/") + file.name;
            ASSERT_TRUE(m_work.Write(relative, "installed " + file.name));
        }
        WriteRecord("Nuvra",
                    {{"_sys_setup_dir", Work(kProductFolder)}, {"_sys_version", version}, {"_sys_title", kTitle}});
    }

    // Every request was for the version list, the file list or its signature.
    void ExpectNoFileRequested()
    {
        for (const std::string& path : RequestPaths())
            EXPECT_TRUE(path == "/update/version.txt" || path == "/" + std::string(kListFile) ||
                        path == "/" + std::string(kSignatureFile))
                << path;
    }
};

// What is wrong with the published release.
enum class Refusal { Unsigned, SignedByAnotherKey, ListChangedAfterSigning, EntryWithoutHash, SignatureNotHex };
enum class Mode { Install, Update, UnattendedRepair };

struct RefusalParam {
    const char* name;
    Refusal refusal;
    Mode mode;
};

void PrintTo(const RefusalParam& p, std::ostream* os)
{
    *os << p.name;
}

class RefusedRelease : public SignedRelease, public ::testing::WithParamInterface<RefusalParam> {
protected:
    // The release as published, signed or not as the case wants.
    void PublishRefused(const std::vector<CReleaseFile>& files)
    {
        Publish(kTitle, "1.1.0", Hashed(files));
        const std::string listPath = Work("server/") + kListFile;
        switch (GetParam().refusal) {
        case Refusal::Unsigned: break;
        case Refusal::SignedByAnotherKey: SignList(CTestListSigner()); break;
        case Refusal::ListChangedAfterSigning: {
            SignList(ReleaseKey());
            // One byte of the signed list differs: a version the maker never published.
            std::string list = ReadFile(listPath);
            list.replace(list.find("1.1.0"), 5, "1.1.9");
            WriteServerFile(kListFile, list);
            break;
        }
        case Refusal::EntryWithoutHash:
            WriteServerFile(kListFile, ReadFile(listPath) + "entry,extra.dat,1.1.0,,,\r\n");
            WriteServerFile("update/Nuvra/extra.dat", "extra");
            SignList(ReleaseKey());
            break;
        case Refusal::SignatureNotHex: WriteServerFile(kSignatureFile, "not a signature\n"); break;
        }
    }
};

TEST_P(RefusedRelease, EndsWith106BeforeAnyFileIsRequested)
{
    const RefusalParam& p = GetParam();
    std::vector<CReleaseFile> files = Release();
    for (CReleaseFile& file : files) file.version = "1.1.0";
    if (p.mode != Mode::Install) InstallProductFolder(files, "1.0.0");
    PublishRefused(files);
    Server().ClearLog();

    if (p.mode == Mode::Install) {
        ASSERT_TRUE(StartInstall());
        EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
        EXPECT_FALSE(FileExists(InstalledProduct()));
    } else {
        if (p.mode == Mode::Update) {
            ASSERT_TRUE(StartUpdate());
            EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
        } else {
            // Every installed file differs from the list, yet none is fetched: "failed".
            DWORD exitCode = 0;
            ASSERT_TRUE(Run("-r /S") && Driver().WaitForExit(60000, &exitCode));
            EXPECT_EQ(1u, exitCode);
            EXPECT_TRUE(Driver().Shown().empty());
        }
        EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
        EXPECT_EQ("installed config.ini", m_work.Read(std::string(kProductFolder) + "/config.ini"));
    }
    ExpectNoFileRequested();
}

INSTANTIATE_TEST_SUITE_P(
    Releases, RefusedRelease,
    ::testing::Values(RefusalParam{"UnsignedInstall", Refusal::Unsigned, Mode::Install},
                      RefusalParam{"UnsignedUpdate", Refusal::Unsigned, Mode::Update},
                      RefusalParam{"SignedByAnotherKeyInstall", Refusal::SignedByAnotherKey, Mode::Install},
                      RefusalParam{"SignedByAnotherKeyUpdate", Refusal::SignedByAnotherKey, Mode::Update},
                      RefusalParam{"ListChangedAfterSigningInstall", Refusal::ListChangedAfterSigning, Mode::Install},
                      RefusalParam{"ListChangedAfterSigningUpdate", Refusal::ListChangedAfterSigning, Mode::Update},
                      RefusalParam{"EntryWithoutHashInstall", Refusal::EntryWithoutHash, Mode::Install},
                      RefusalParam{"EntryWithoutHashUpdate", Refusal::EntryWithoutHash, Mode::Update},
                      RefusalParam{"SignatureNotHexInstall", Refusal::SignatureNotHex, Mode::Install},
                      RefusalParam{"UnsignedRepair", Refusal::Unsigned, Mode::UnattendedRepair},
                      RefusalParam{"ListChangedAfterSigningRepair", Refusal::ListChangedAfterSigning,
                                   Mode::UnattendedRepair},
                      RefusalParam{"EntryWithoutHashRepair", Refusal::EntryWithoutHash, Mode::UnattendedRepair}),
    [](const ::testing::TestParamInfo<RefusalParam>& info) { return std::string(info.param.name); });

// The maker's tool made both trees (see make_signed_trees.sh): 1.1.0 changes only doc/readme.txt
// (flag "A", replaced in place) and adds doc/new.txt, so the update asks for those two alone.
TEST_F(SignedRelease, InstallsThenUpdatesFromTreesTheToolMadeAndSigned)
{
    const std::string trees = ZPath(NUVRA_SIGNED_TREES);
    const fs::path server = Work("server");
    fs::copy(trees + "\\tree-1.0.0", server, fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    ASSERT_TRUE(StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
    const std::vector<std::string> installed = {"Nuvra.exe", "nuvra.ini", "doc\\readme.txt"};
    for (const std::string& file : installed)
        EXPECT_EQ(ReadFile(trees + "\\product-1.0.0\\" + file), ReadFile(InstalledProduct() + "\\" + file)) << file;

    // The started product is ended, and its record is the one it writes.
    m_driver = std::make_unique<CUpdaterDriver>();
    WriteRecord("Nuvra", {{"_sys_setup_dir", InstalledProduct()}, {"_sys_version", "1.0.0"}, {"_sys_title", kTitle}});
    fs::copy(trees + "\\tree-1.1.0", server, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    Server().ClearLog();

    ASSERT_TRUE(StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
    for (const char* file : {"Nuvra.exe", "nuvra.ini", "doc\\readme.txt", "doc\\new.txt"})
        EXPECT_EQ(ReadFile(trees + "\\product-1.1.0\\" + file), ReadFile(InstalledProduct() + "\\" + file)) << file;
    std::vector<std::string> files;
    for (const std::string& path : RequestPaths())
        if (path.compare(0, 13, "/update/Nuvra") == 0 && path.find("_nuvr_file_list") == std::string::npos)
            files.push_back(path);
    std::sort(files.begin(), files.end()); // fetched at once, in either order
    EXPECT_EQ((std::vector<std::string>{"/update/Nuvra/doc/new.txt", "/update/Nuvra/doc/readme.txt"}), files);
}

// The updater ships in every release the tool makes: after a plain install the product folder
// holds it, and the product's "NuvraUpdater.exe -u" updates everything, the running updater
// included. Its old copy is in use while it runs, so it stays under its backup name until the
// next run removes it.
TEST_F(SignedRelease, ShippedUpdaterUpdatesTheReleaseAndItself)
{
    const std::string trees = ZPath(NUVRA_SIGNED_TREES);
    const fs::path served = Work("server") + "\\update";
    fs::copy(trees + "\\shipped-1.0.0\\update", served, fs::copy_options::recursive);

    ASSERT_TRUE(StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
    const std::string installedUpdater = InstalledProduct() + "\\NuvraUpdater.exe";
    EXPECT_EQ(ReadFile(trees + "\\updater-1.0.0.exe"), ReadFile(installedUpdater));

    m_driver = std::make_unique<CUpdaterDriver>();
    WriteRecord("Nuvra", {{"_sys_setup_dir", InstalledProduct()}, {"_sys_version", "1.0.0"}, {"_sys_title", kTitle}});
    fs::remove_all(served);
    const std::string release = trees + "\\shipped-1.1.0\\update";
    fs::copy(release, served, fs::copy_options::recursive);

    ASSERT_TRUE(RunProgram(installedUpdater, "-u") && Driver().Answer(kQuestionCaption, IDYES) &&
                Driver().WaitForWindowWhere(IsUpdateWindow) != nullptr);
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
    for (const char* file : {"NuvraUpdater.exe", "Nuvra.exe", "nuvra.ini", "doc\\readme.txt", "doc\\new.txt"})
        EXPECT_EQ(ReadFile(release + "\\Nuvra\\" + file), ReadFile(InstalledProduct() + "\\" + file)) << file;
    EXPECT_EQ(ReadFile(trees + "\\updater-1.1.0.exe"), ReadFile(installedUpdater));
    // Until it has ended, the next run would meet it as another instance.
    ASSERT_TRUE(Driver().WaitForExit(30000));

    // The next run, as the product starts it, with nothing left to update, clears the backup of
    // the updater that ran. The question and the done box share their caption: the update
    // window between them tells which is which.
    m_driver = std::make_unique<CUpdaterDriver>();
    DeleteFileA(Work("sample.log").c_str());
    ASSERT_TRUE(RunProgram(installedUpdater, "-u") && Driver().Answer(kQuestionCaption, IDYES) &&
                Driver().WaitForWindowWhere(IsUpdateWindow) != nullptr);
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_FALSE(ProductStarted()); // nothing replaced starts nothing
    EXPECT_FALSE(FileExists(InstalledProduct() + "\\NuvraUpdater.xexe"));
    EXPECT_EQ(ReadFile(trees + "\\updater-1.1.0.exe"), ReadFile(installedUpdater));
}

// Correctly signed lists of older releases: without the version check, anyone who can answer the
// updater's requests could roll it back. One step (1.0.0 over 1.0.1), or two (0.9.0, which would
// record 0.9.0, then 1.0.0, which would then replace the files): each ends with 106 and changes
// nothing.
TEST_F(SignedRelease, OlderSignedListsAreRefusedInOneStepOrTwo)
{
    const std::vector<std::vector<std::string>> steps = {{"1.0.0"}, {"0.9.0", "1.0.0"}};
    for (const std::vector<std::string>& versions : steps) {
        SCOPED_TRACE(versions.size());
        std::vector<CReleaseFile> files = Release();
        InstallProductFolder(files, "1.0.1");
        for (const std::string& version : versions) {
            SCOPED_TRACE(version);
            for (CReleaseFile& file : files) file.version = version;
            Publish(kTitle, version, Hashed(files));
            SignList(ReleaseKey());
            // The update and the repair refuse it alike: the repair would otherwise put the older
            // bytes back over files it finds "damaged".
            for (const bool repair : {false, true}) {
                SCOPED_TRACE(repair ? "repair" : "update");
                Server().ClearLog();
                m_driver = std::make_unique<CUpdaterDriver>();
                if (repair) {
                    DWORD exitCode = 0;
                    ASSERT_TRUE(Run("-r /S") && Driver().WaitForExit(60000, &exitCode));
                    EXPECT_EQ(1u, exitCode);
                } else {
                    ASSERT_TRUE(StartUpdate());
                    EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
                }
                EXPECT_EQ("1.0.1", ReadRecord("Nuvra", "_sys_version"));
                for (const char* name : {"Nuvra.exe", "config.ini", "doc/readme.txt"})
                    EXPECT_EQ(std::string("installed ") + fs::path(name).filename().string(),
                              m_work.Read(std::string(kProductFolder) + "/" + name))
                        << name;
                ExpectNoFileRequested();
            }
        }
    }
}

// A newer list through the repair brings the whole release, committed and recorded as an update.
TEST_F(SignedRelease, NewerListThroughRepairInstallsAndRecordsThatRelease)
{
    std::vector<CReleaseFile> files = Release();
    InstallProductFolder(files, "1.0.0");
    for (CReleaseFile& file : files) file.version = "1.1.0";
    Publish(kTitle, "1.1.0", Hashed(files));
    SignList(ReleaseKey());
    DWORD exitCode = 0;
    ASSERT_TRUE(Run("-r /S") && Driver().WaitForExit(60000, &exitCode));
    EXPECT_EQ(103u, exitCode); // three files brought to the release
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
    EXPECT_EQ("[nuvra]\r\ninterval=60\r\n", m_work.Read(std::string(kProductFolder) + "/config.ini"));
    EXPECT_EQ("Morvel Nuvra\n", m_work.Read(std::string(kProductFolder) + "/doc/readme.txt"));
    EXPECT_FALSE(m_work.Exists(std::string(kProductFolder) + "/_nuvr_update"));
}

// A signed list may carry its end of validity (line 2); once passed, a replayed list is refused.
TEST_F(SignedRelease, ExpiredSignedListIsRefused)
{
    std::vector<CReleaseFile> files = Release();
    for (CReleaseFile& file : files) file.version = "1.1.0";
    InstallProductFolder(files, "1.0.0");
    const long long now = static_cast<long long>(time(nullptr));
    for (long long expires : {now - 3600, now + 86400}) {
        SCOPED_TRACE(expires - now);
        Publish(kTitle, "1.1.0", Hashed(files));
        std::string list = ReadFile(Work("server/") + kListFile);
        const std::size_t lineTwo = list.find('\n', list.find('\n') + 1) + 1;
        list.insert(lineTwo, ",expires," + std::to_string(expires) + ",\r\n");
        WriteServerFile(kListFile, list);
        SignList(ReleaseKey());
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_TRUE(StartUpdate());
        if (expires < now) {
            EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
            EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
            EXPECT_EQ("installed config.ini", m_work.Read(std::string(kProductFolder) + "/config.ini"));
            ExpectNoFileRequested();
        } else {
            // Still valid: the same list updates as any other.
            EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
            EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
            EXPECT_EQ("[nuvra]\r\ninterval=60\r\n", m_work.Read(std::string(kProductFolder) + "/config.ini"));
        }
    }
}

} // namespace
