#pragma once
// The journal of one commit: every step a commit takes, written and flushed before its first
// rename, so that a run killed at any moment of the commit can be finished or undone by the next
// start (see CCommit). One text file of tab-separated lines (Windows names hold no tab):
//
//     NuvraCommit 1
//     record	<old version>	<new version>          the record's version after the renames
//     staging	<folder>                              removed once the commit is done
//     file	<existed>	<copy aside>	<size>	<sha256>	<target>	<backup>	<staged>
//     folder	<existed>	<target>	<backup>	<staged>
//     end
//
// For each file, in order: the installed target (when it existed) goes aside under its backup
// name (renamed, or copied for a file replaced in place), then the staged file takes its place.
// After the record the backups, the staging folder and the journal go. A journal without its
// last line was cut while it was written: nothing had been renamed yet.
#include <string>
#include <vector>

class CCommitJournal {
public:
    struct Move {
        std::string target; // full paths
        std::string backup;
        std::string staged;
        bool existed = false;   // the target was there before the commit
        bool copyAside = false; // the backup is a copy, the target replaced in place
        bool folder = false;    // a whole tree (the install's product folder)
        long long size = -1;    // of the staged file, -1 unknown
        std::string sha256;     // of the staged file, "" unknown
    };

    void AddMove(const Move& move) { m_moves.push_back(move); }
    void SetRecord(const std::string& oldVersion, const std::string& newVersion)
    {
        m_recorded = true;
        m_oldVersion = oldVersion;
        m_newVersion = newVersion;
    }
    void SetStagingFolder(const std::string& folder) { m_staging = folder; }

    const std::vector<Move>& Moves() const { return m_moves; }
    bool HasRecord() const { return m_recorded; }
    const std::string& OldVersion() const { return m_oldVersion; }
    const std::string& NewVersion() const { return m_newVersion; }
    const std::string& StagingFolder() const { return m_staging; }

    std::string Text() const;
    // False for text that is not a whole journal (cut short, another format).
    static bool Parse(const std::string& text, CCommitJournal& journal);

private:
    std::vector<Move> m_moves;
    bool m_recorded = false;
    std::string m_oldVersion;
    std::string m_newVersion;
    std::string m_staging;
};
