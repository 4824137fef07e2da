#include "update/UpdatePlan.h"

#include "release/ReleaseListCheck.h"
#include "release/VersionOrder.h"

#include <algorithm>
#include <map>
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

// A backup or staging name that is another listed file would delete or overwrite that file, so
// ".x" is appended until it names none. A hostile list can chain listed names ("a.x", "a.x.x",
// ...) so that many entries walk the same chain: each name's answer is remembered, and every
// chain is walked once.
class CDistinctNames {
public:
    explicit CDistinctNames(const std::set<std::string>& listed) : m_listed(listed) {}

    std::string Of(const std::string& name)
    {
        std::vector<std::string> walked; // keys of the listed names met, in order
        std::string found = name;
        for (;;) {
            const std::string key = NameKey(found);
            auto known = m_known.find(key);
            if (known != m_known.end()) {
                for (std::size_t i = 0; i < known->second; ++i) found += kMark;
                break;
            }
            if (m_listed.count(key) == 0) break;
            walked.push_back(key);
            found += kMark;
        }
        // Each name walked ends where this one does, that many marks further on.
        std::size_t marks = (found.size() - name.size()) / (sizeof kMark - 1);
        for (const std::string& key : walked) m_known.emplace(key, marks--);
        return found;
    }

private:
    static constexpr char kMark[] = ".x";
    const std::set<std::string>& m_listed;
    std::map<std::string, std::size_t> m_known; // listed name key -> marks to its first free name
};

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
    // An older release is refused whole: anyone who can answer the updater's requests could
    // otherwise roll an installation back, step by step, to a release with known faults.
    const int order = CompareVersions(plan.m_newVersion, installedVersion);
    if (order < 0) {
        plan.m_verdict = Verdict::Rollback;
        return plan;
    }
    plan.m_installedRelease = order == 0;
    plan.m_verdict = Verdict::Ready;
    std::set<std::string>& listed = plan.m_listed;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        Item item;
        item.entry = CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Trim);
        item.safe = item.entry.IsEntry() && item.entry.HasSafePath();
        item.update = !plan.m_installedRelease && item.entry.IsEntry() &&
            CompareVersions(item.entry.Version(), installedVersion) > 0;
        // The list comes from the network: one entry that would write outside the product
        // folder makes the whole list untrusted, before any file is touched.
        if (item.update && !item.safe) plan.m_verdict = Verdict::UnsafeEntry;
        if (item.entry.IsEntry()) listed.insert(NameKey(item.entry.RelativePath()));
        plan.m_items.push_back(std::move(item));
    }
    CDistinctNames distinct(listed);
    for (Item& item : plan.m_items) {
        if (!item.safe) continue;
        item.backup = distinct.Of(item.entry.BackupName());
        item.staging = distinct.Of(item.entry.StagingName());
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
