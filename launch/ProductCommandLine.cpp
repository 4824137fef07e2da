#include "launch/ProductCommandLine.h"

#include <utility>
#include <vector>

namespace {

struct CSwitch {
    const char* name;
    const std::string& value;
};

bool HasQuote(const std::string& text)
{
    return text.find('"') != std::string::npos;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

bool MakeLine(const std::string& folder, const std::string& program, const std::vector<CSwitch>& switches,
              std::size_t maxLength, std::string& commandLine)
{
    if (folder.empty() || program.empty() || HasQuote(folder) || HasQuote(program)) return false;
    std::string line = Quoted(folder + "\\" + program);
    for (const CSwitch& s : switches) {
        if (HasQuote(s.value)) return false;
        line += std::string(" ") + s.name + Quoted(s.value);
    }
    if (line.size() > maxLength) return false;
    commandLine = std::move(line);
    return true;
}

} // namespace

bool MakeProductCommandLine(const std::string& folder, const std::string& program, std::string& commandLine)
{
    return MakeLine(folder, program, {}, kMaxProductCommandLine, commandLine);
}

bool MakeFirstStartCommandLine(const std::string& folder, const std::string& program, const std::string& version,
                               const std::string& title, std::string& commandLine)
{
    return MakeLine(folder, program, {{"-d", folder}, {"-v", version}, {"-t", title}}, kMaxFirstStartCommandLine,
                    commandLine);
}
