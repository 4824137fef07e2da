#include "update/UpdatePlan.h"

#include "release/ReleaseListCheck.h"

#include <algorithm>
#include <set>

namespace {

constexpr int kEntrySpan = 80; // the part of the bar between the list (5) and the last steps

// Windows compares names without case and takes either separator.
std::string NameKey(const std::string& path)
{
    std::string key = path;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '\\') c = '/';
    }
    return key;
}

// A backup or staging name that is another listed file would delete or overwrite that file.
std::string DistinctName(std::string name, const std::set<std::string>& listed)
{
    while (listed.count(NameKey(name)) != 0) name += ".x";
    return name;
}

} // namespace

CUpdatePlan CUpdatePlan::Make(const std::vector<std::string>& lines, const std::string& installedVersion)
{
    CUpdatePlan plan;
    plan.m_lineCount = lines.size();
    if (!IsReleaseList(lines)) {
        plan.m_verdict = Verdict::NotARelease;
        return plan;
    }
    plan.m_newVersion = ListVersion(lines);
    plan.m_verdict = Verdict::Ready;
    const int installed = VersionNumber(installedVersion);
    std::set<std::string>& listed = plan.m_listed;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        Item item;
        item.entry = CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Trim);
        item.safe = item.entry.IsEntry() && item.entry.HasSafePath();
        item.update = item.entry.IsEntry() && VersionNumber(item.entry.Version()) > installed;
        // The list comes from the network: one entry that would write outside the product
        // folder makes the whole list untrusted, before any file is touched.
        if (item.update && !item.safe) plan.m_verdict = Verdict::UnsafeEntry;
        if (item.entry.IsEntry()) listed.insert(NameKey(item.entry.RelativePath()));
        plan.m_items.push_back(std::move(item));
    }
    for (Item& item : plan.m_items) {
        if (!item.safe) continue;
        item.backup = DistinctName(item.entry.BackupName(), listed);
        item.staging = DistinctName(item.entry.StagingName(), listed);
    }
    return plan;
}

std::size_t CUpdatePlan::UpdateCount() const
{
    return static_cast<std::size_t>(
        std::count_if(m_items.begin(), m_items.end(), [](const Item& item) { return item.update; }));
}

bool CUpdatePlan::Names(const std::string& path) const
{
    return m_listed.count(NameKey(path)) != 0;
}

bool CUpdatePlan::EveryUpdateHashed() const
{
    return std::none_of(m_items.begin(), m_items.end(),
                        [](const Item& item) { return item.update && item.entry.Hash().empty(); });
}

int CUpdatePlan::ProgressStep() const
{
    if (m_lineCount <= 2) return 1;
    const std::size_t entries = m_lineCount - 2;
    return std::max(1, static_cast<int>(static_cast<std::size_t>(kEntrySpan) / entries));
}
