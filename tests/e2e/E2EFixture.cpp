#include "tests/e2e/E2EFixture.h"

#include <chrono>
#include "crypt/Sha256.h"
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

const char E2EFixture::kUpdaterCaption[] = "NuvraUpdater";
const char E2EFixture::kQuestionCaption[] = "MorvelNuvraUpdater";

namespace {

const char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nuvra";

// Build outputs live on the Linux side; Wine reaches them through drive Z:.
std::string WindowsPath(std::string unixPath)
{
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

// A build output by its compiled-in path, or its copy in NUVRA_E2E_BIN_DIR when the runner made
// one (a test user need not be able to read the build tree).
std::string BuildOutput(const std::string& unixPath)
{
    char copies[1024];
    DWORD n = GetEnvironmentVariableA("NUVRA_E2E_BIN_DIR", copies, sizeof copies);
    size_t name = unixPath.find_last_of('/');
    if (n == 0 || n >= sizeof copies || name == std::string::npos) return WindowsPath(unixPath);
    return WindowsPath(std::string(copies, n) + unixPath.substr(name));
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

} // namespace

void E2EFixture::SetUp()
{
    ASSERT_FALSE(m_work.Path().empty());
    DeleteMakerKey();
    DeleteUninstallEntries();
    CreateDirectoryA(m_work.File("bin").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(BuildOutput(NUVRA_UPDATER_EXE).c_str(), UpdaterPath().c_str(), FALSE));
    CreateDirectoryA(m_work.File("server").c_str(), nullptr);
    m_server = std::make_unique<CTestHttpServer>(m_work.File("server"));
    ASSERT_TRUE(m_server->Start());
    SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", m_server->HostPort().c_str());
    SetEnvironmentVariableA("NUVRA_SAMPLE_LOG", m_work.File("sample.log").c_str());
    m_driver = std::make_unique<CUpdaterDriver>();
}

void E2EFixture::TearDown()
{
    // A failure that came from the program ending early says how it ended.
    if (HasFailure() && m_driver) std::cout << "[ program  ] " << RunState() << std::endl;
    m_driver.reset();
    if (m_server) m_server->Stop();
    DeleteMakerKey();
    DeleteUninstallEntries();
}

void E2EFixture::WriteServerFile(const std::string& path, const std::string& content)
{
    std::string full = m_work.File("server/" + path);
    MakeFolders(full);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << content;
}

void E2EFixture::Publish(const std::string& title, const std::string& version, const std::vector<CReleaseFile>& files,
                         bool allow)
{
    WriteVersionList("# Morvel update server\r\n0,Nuvra," + version + ",," + (allow ? "yes" : "no") + ",\r\n");
    std::string list = title + "\r\n" + version + "\r\n";
    for (const CReleaseFile& file : files) {
        list += "entry," + file.name + "," + file.version + "," + file.subFolder + "," + file.flag + ",";
        if (file.size >= 0) {
            list += file.hash + "," + std::to_string(file.size) + ",";
        } else if (!file.hash.empty()) {
            list += file.hash + ",";
        }
        list += "\r\n";
        std::string folder = file.subFolder.empty() ? "" : file.subFolder + "/";
        WriteServerFile("update/Nuvra/" + folder + file.name, file.content);
    }
    WriteServerFile("update/Nuvra/_nuvr_file_list.lst", list);
}

std::vector<CReleaseFile> E2EFixture::Hashed(std::vector<CReleaseFile> files)
{
    for (CReleaseFile& file : files) file.hash = Sha256Hex(file.content);
    return files;
}

std::vector<CReleaseFile> E2EFixture::Sized(std::vector<CReleaseFile> files)
{
    for (CReleaseFile& file : files) file.size = static_cast<long long>(file.content.size());
    return files;
}

std::string E2EFixture::Sha256Hex(const std::string& content)
{
    return CSha256::ToHex(CSha256::Of(content.data(), content.size()));
}

CReleaseFile E2EFixture::SampleProduct(const std::string& version) const
{
    return CReleaseFile{"", "Nuvra.exe", ReadFile(BuildOutput(NUVRA_SAMPLE_EXE)), version, ""};
}

std::vector<std::string> E2EFixture::RequestPaths() const
{
    std::vector<std::string> paths;
    for (const CHttpRequest& request : m_server->Requests()) paths.push_back(request.path);
    return paths;
}

std::vector<std::string> E2EFixture::ProductStarts(DWORD waitMs) const
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        std::vector<std::string> starts;
        std::string log = m_work.Read("sample.log");
        size_t begin = 0;
        while (begin < log.size()) {
            size_t end = log.find('\n', begin);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(begin, end - begin);
            if (line.compare(0, 6, "start\t") == 0) starts.push_back(line);
            begin = end + 1;
        }
        if (!starts.empty() || std::chrono::steady_clock::now() >= deadline) return starts;
        Sleep(50);
    }
}

bool E2EFixture::Run(const std::string& tail)
{
    return RunProgram(UpdaterPath(), tail);
}

bool E2EFixture::RunProgram(const std::string& program, const std::string& tail)
{
    std::string line = "\"" + program + "\"";
    if (!tail.empty()) line += " " + tail;
    return m_driver->Start(line, m_work.Path());
}

long E2EFixture::RunToExit(const std::string& tail, DWORD timeoutMs)
{
    DWORD code = 0;
    if (!Run(tail) || !m_driver->WaitForExit(timeoutMs, &code)) return -1;
    return static_cast<long>(code);
}

std::string E2EFixture::RunState()
{
    DWORD code = 0;
    std::string state;
    if (m_driver->IsRunning())
        state = "the program still runs";
    else if (m_driver->WaitForExit(0, &code))
        state = "the program ended with exit code " + std::to_string(code);
    else
        state = "the program never started (Windows error " + std::to_string(m_driver->StartError()) + ")";
    const std::string log = ReadFile(DefaultRunLogPath());
    size_t from = log.size();
    for (int lines = 0; lines < 7 && from > 0; ++lines) {
        const size_t newline = log.rfind('\n', from - 1);
        from = newline == std::string::npos ? 0 : newline;
    }
    return state + "; the run log ends:\n" + log.substr(from);
}

namespace {

void WriteStrings(HKEY root, const std::string& path, const std::vector<std::pair<std::string, std::string>>& values)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& value : values)
        RegSetValueExA(handle, value.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.second.c_str()),
                       static_cast<DWORD>(value.second.size() + 1));
    RegCloseKey(handle);
}

} // namespace

void E2EFixture::WriteRecord(const std::string& key, const std::vector<std::pair<std::string, std::string>>& values)
{
    WriteStrings(HKEY_CURRENT_USER, "SOFTWARE\\Morvel" + (key.empty() ? std::string() : "\\" + key), values);
}

std::string E2EFixture::ReadRecord(const std::string& key, const std::string& value)
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    std::string path = "SOFTWARE\\Morvel\\" + key;
    if (RegGetValueA(HKEY_CURRENT_USER, path.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

bool E2EFixture::RecordExists(const std::string& key)
{
    HKEY handle = nullptr;
    std::string path = "SOFTWARE\\Morvel" + (key.empty() ? std::string() : "\\" + key);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

void E2EFixture::DeleteMakerKey()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel");
    RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel");
}

std::string E2EFixture::ReadUninstallEntry(HKEY root, const std::string& value, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += 100) {
        char buffer[1024] = {};
        DWORD size = sizeof(buffer) - 1;
        DWORD type = 0;
        if (RegGetValueA(root, kUninstallEntryKey, value.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, buffer,
                         &size) == ERROR_SUCCESS)
            return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(buffer)) : std::string(buffer);
        if (waited >= timeoutMs) return "<missing>";
        Sleep(100);
    }
}

bool E2EFixture::UninstallEntryExists(HKEY root)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, kUninstallEntryKey, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

void E2EFixture::WriteUninstallEntryValues(HKEY root, const std::vector<std::pair<std::string, std::string>>& values)
{
    WriteStrings(root, kUninstallEntryKey, values);
}

void E2EFixture::DeleteUninstallEntries()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteKeyA(root, kUninstallEntryKey);
}

std::string E2EFixture::DefaultRunLogPath()
{
    char local[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH) == 0)
        SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::string(local) + "\\Morvel\\NuvraUpdater.log";
}

void E2EFixture::RemoveTree(const std::string& path)
{
    std::string from = path + std::string(2, '\0');
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

std::string E2EFixture::ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool E2EFixture::FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string E2EFixture::AnsiFromUtf8(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
    int m = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), m, nullptr, nullptr);
    out.resize(static_cast<size_t>(m > 0 ? m - 1 : 0));
    return out;
}
