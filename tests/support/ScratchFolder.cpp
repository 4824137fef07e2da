#include "tests/support/ScratchFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define NUVRA_GETPID _getpid
#else
#include <unistd.h>
#define NUVRA_GETPID getpid
#endif

namespace fs = std::filesystem;

CScratchFolder::CScratchFolder()
{
    static std::atomic<unsigned> counter{0};
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) return;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base /
            ("nuvra-test-" + std::to_string(NUVRA_GETPID()) + "-" + std::to_string(stamp % 1000000) + "-" +
             std::to_string(counter++));
        if (fs::create_directory(candidate, error)) {
            m_path = candidate.string();
            return;
        }
    }
}

CScratchFolder::~CScratchFolder()
{
    if (m_path.empty()) return;
    std::error_code error;
    fs::remove_all(m_path, error);
}

char CScratchFolder::Separator()
{
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string CScratchFolder::File(const std::string& relative) const
{
    std::string local = relative;
    std::replace(local.begin(), local.end(), '/', Separator());
    return m_path + Separator() + local;
}

bool CScratchFolder::Write(const std::string& relative, const std::string& content) const
{
    std::error_code error;
    fs::create_directories(fs::path(File(relative)).parent_path(), error);
    std::ofstream out(File(relative), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

bool CScratchFolder::Exists(const std::string& relative) const
{
    std::error_code error;
    return fs::exists(File(relative), error);
}

std::string CScratchFolder::Read(const std::string& relative) const
{
    std::ifstream in(File(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CScratchFolder::List(const std::string& relative) const
{
    std::vector<std::string> names;
    std::error_code error;
    fs::path folder = relative.empty() ? fs::path(m_path) : fs::path(File(relative));
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
