#include "release/ListVerdict.h"

#include "release/FileListEntry.h"
#include "release/ReleaseListCheck.h"
#include "release/VersionOrder.h"

ListVerdict JudgeList(const CListFacts& facts)
{
    if (facts.signature == ListSignature::Missing || facts.signature == ListSignature::Wrong)
        return ListVerdict::Unsigned;
    if (facts.signature == ListSignature::Verified && HasExpired(facts.lines, facts.nowUnixSeconds))
        return ListVerdict::Expired;
    if (!IsReleaseList(facts.lines)) return ListVerdict::NotARelease;
    const std::string version = ListVersion(facts.lines);
    const bool installed = facts.purpose != ListPurpose::Install;
    if (installed && CompareVersions(version, facts.installedVersion) < 0) return ListVerdict::Older;
    // A list of the installed version writes every entry only when repairing what differs.
    const bool updateOnly = facts.purpose == ListPurpose::Update;
    for (std::size_t i = 2; i < facts.lines.size(); ++i) {
        const CFileListEntry entry = CFileListEntry::Read(facts.lines[i], CFileListEntry::Blanks::Trim);
        if (!entry.IsEntry()) continue;
        if (updateOnly && CompareVersions(entry.Version(), facts.installedVersion) <= 0) continue;
        if (!entry.HasSafePath()) return ListVerdict::UnsafeEntry;
        if (facts.signature == ListSignature::Verified && entry.Hash().empty()) return ListVerdict::Unhashed;
    }
    return ListVerdict::Usable;
}

const char* ListVerdictText(ListVerdict verdict)
{
    switch (verdict) {
    case ListVerdict::Usable: return "nothing (the list is usable)";
    case ListVerdict::Unsigned: return "its signature is missing or does not verify with the release key";
    case ListVerdict::Expired: return "its signature has expired";
    case ListVerdict::NotARelease: return "not shaped like a release (title, dotted version, at least one entry)";
    case ListVerdict::UnsafeEntry: return "an entry names a path outside the product folder";
    case ListVerdict::Unhashed: return "an entry has no SHA-256, which a signed release needs";
    case ListVerdict::Older: return "its version is below the installed one (an older release)";
    }
    return "not a release this installation can take";
}
