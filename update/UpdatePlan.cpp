#include "update/UpdatePlan.h"

#include <algorithm>

namespace {

constexpr int kEntrySpan = 80;  // the part of the bar between the list (5) and the last steps

} // namespace

CUpdatePlan CUpdatePlan::Make(const std::vector<std::string>& lines, const std::string& installedVersion)
{
    CUpdatePlan plan;
    plan.m_lineCount = lines.size();
    if (lines.size() < 2) {
        plan.m_verdict = Verdict::NoVersionLine;
        return plan;
    }
    plan.m_newVersion = lines[1];
    plan.m_verdict = Verdict::Ready;
    const int installed = VersionNumber(installedVersion);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        Item item;
        item.entry = CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Keep);
        item.update = item.entry.IsEntry() && VersionNumber(item.entry.Version()) > installed;
        // The list comes from the network: one entry that would write outside the product
        // folder makes the whole list untrusted, before any file is touched.
        if (item.update && !item.entry.HasSafePath()) plan.m_verdict = Verdict::UnsafeEntry;
        plan.m_items.push_back(std::move(item));
    }
    return plan;
}

std::size_t CUpdatePlan::UpdateCount() const
{
    return static_cast<std::size_t>(
        std::count_if(m_items.begin(), m_items.end(), [](const Item& item) { return item.update; }));
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
