#pragma once
// Puts a staged release in place of the installed one, all or nothing, by the steps its journal
// names (see CCommitJournal): the journal written and flushed, then the renames, then the
// record, then the backups, the staging folder and the journal removed. A run killed at any
// moment leaves the journal; RecoverInterrupted, run at every start, then finishes the commit
// when every staged file is there and verified, and undoes it otherwise.
#include "update/CommitJournal.h"

#include <windows.h>

#include <cstddef>
#include <string>

class CCommit {
public:
    // Where the one journal of this user lives: beside neither release, so that it is found at
    // start without a record (an install has none yet) and without a server.
    static std::string JournalPath();

    // The whole commit. False when a rename or the record failed: the steps done are undone then, the
    // installation and the record as they were, and the staged files kept for the next run.
    // Backups that are read-only are deleted only with the consent asked of `owner`; one still in
    // use stays for a later run. `stopAfterSteps` ends the run as a kill would after that many
    // steps (the journal is one, each rename one, the record one): tests use it.
    static bool Run(const CCommitJournal& journal, HWND owner,
                    std::size_t stopAfterSteps = static_cast<std::size_t>(-1));

    // Finishes or undoes the commit a killed run left, if any; says which and why in the log.
    static void RecoverInterrupted();
};
