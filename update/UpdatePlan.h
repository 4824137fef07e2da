#pragma once
// What one update run will do, decided from the component file list before any file is
// touched: which entry lines replace a file, the version to record afterwards, and how the
// progress bar moves over the entries.
#include "release/FileListEntry.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

class CUpdatePlan {
public:
    enum class Verdict {
        Ready,       // run the items in order
        NotARelease, // no plain title, dotted version and entry (a web page, a cut file)
        UnsafeEntry, // a newer entry names something outside the product folder
        Rollback,    // the list's version is below the installed one: an older release
    };

    // One entry line (lines 2 and later, in order). Skipped lines are kept too: the bar steps
    // for them as well.
    struct Item {
        bool update = false; // a valid entry whose version is above the installed one (none
                             // when the list's version is the installed one)
        bool safe = false;   // an entry whose names may be used on disk (to repair, say)
        CFileListEntry entry;
        // The entry's backup and staging names, made distinct from every path the list names.
        std::string backup;
        std::string staging;
    };

    // The bar runs 0..100: 5 once the list is in, then one step per line while it is below 90,
    // and 100 at the end.
    static constexpr int kListFetchedStep = 5;
    static constexpr int kStepLimit = 90;

    // lines: the file list as fetched; installedVersion: the recorded version (empty or not a
    // number counts as 0). Entries are read with their blanks trimmed, as the install reads
    // them; versions compare component by component (CompareVersions), and only a greater one
    // is updated.
    static CUpdatePlan Make(const std::vector<std::string>& lines, const std::string& installedVersion);

    Verdict GetVerdict() const { return m_verdict; }
    // Line 1 trimmed, the version the list describes; recorded after a successful run.
    const std::string& NewVersion() const { return m_newVersion; }
    // The list describes the installed version: nothing is replaced and nothing is recorded.
    bool IsInstalledRelease() const { return m_installedRelease; }
    const std::vector<Item>& Items() const { return m_items; }
    std::size_t UpdateCount() const;
    // Whether the list names this path (below the installation folder, "/" or "\\", any case).
    bool Names(const std::string& path) const;
    // Whether every entry to be updated carries a digest (required in builds with a release key).
    bool EveryUpdateHashed() const;

    // The step for the entry loop: 80 / (number of lines - 2), at least 1.
    int ProgressStep() const;
    // Whether the bar steps after an entry when it stands at `position`.
    static bool StepsAfterEntry(int position) { return position < kStepLimit; }

private:
    Verdict m_verdict = Verdict::NotARelease;
    std::string m_newVersion;
    bool m_installedRelease = false;
    std::size_t m_lineCount = 0;
    std::vector<Item> m_items;
    std::set<std::string> m_listed; // name keys of every entry's relative path
};
