#pragma once
// One entry line of the component file list ("_nuvr_file_list.lst") and the names made from it.
//
//     marker,name,version,folder,flag,
//     marker,name,version,folder,flag,sha256,
//     marker,name,version,folder,flag,sha256,size,
//
// Each field runs from the cursor up to the next comma, and the cursor moves past that comma.
// A field with no comma after it reads as empty and the cursor returns to the start of the
// line, so a line missing commas reads its early fields again. Text after the fifth comma is
// ignored. Blanks around each field are trimmed, so that the install and the update address the
// same file.
#include <string>
#include <vector>

class CFileListEntry {
public:
    enum class Blanks { Trim, Keep };

    static CFileListEntry Read(const std::string& line, Blanks blanks);

    // A line whose first field is empty (blank lines too) is not an entry and is skipped.
    bool IsEntry() const { return !m_marker.empty(); }
    // Flag "A": the update overwrites the file in place instead of moving the old one aside.
    bool ReplacesInPlace() const { return m_flag == "A"; }
    // The names are safe to use below the product folder (see IsSafeEntryPath).
    bool HasSafePath() const;

    // "<serverFolder>/<subFolder>/<fileName>", or "<serverFolder>/<fileName>" without a
    // sub-folder; below "/update/" on the server.
    std::string ServerPath(const std::string& serverFolder) const;
    // "<subFolder>/<fileName>", or the file name alone; also the install's staged path.
    std::string RelativePath() const;
    // The update's name for the old file when it must be moved aside: every "." of the file
    // name becomes ".x" ("skin/main.bmp" -> "skin/main.xbmp"; a folder keeps its dots), and a
    // name without a dot gets ".x" appended ("LICENSE" -> "LICENSE.x").
    std::string BackupName() const;
    // The update's name for a staged in-place file, the same way with ".xx".
    std::string StagingName() const;
    // The folders to create for the sub-folder, outermost first, with "\" separators:
    // "a/b/c" -> "a", "a\b", "a\b\c"; none without a sub-folder.
    std::vector<std::string> FolderLevels() const;

    const std::string& Marker() const { return m_marker; }
    const std::string& FileName() const { return m_fileName; }
    const std::string& Version() const { return m_version; }
    const std::string& SubFolder() const { return m_subFolder; }
    const std::string& Flag() const { return m_flag; }
    // The file's SHA-256 as 64 lower-case hex digits, or "" when the sixth field is not one
    // (absent, empty, or other text that older lists may carry there).
    const std::string& Hash() const { return m_hash; }
    // The file's byte count from the seventh field, when that is a decimal number that fits in
    // 63 bits; otherwise the entry has no size and the server is asked for it.
    bool HasSize() const { return m_size >= 0; }
    long long Size() const { return m_size; }

private:
    std::string m_marker;
    std::string m_fileName;
    std::string m_version;
    std::string m_subFolder;
    std::string m_flag;
    std::string m_hash;
    long long m_size = -1;
};

// A dotted version as updaters already in the field read it: every "." removed, then read like
// atoi (leading white space, an optional sign, digits up to the first non-digit; no digits gives
// 0). "1.2.10" -> 1210. Values beyond the int range are clamped to it. This program orders
// versions with CompareVersions; this is only how older updaters will order a published list.
int VersionNumber(const std::string& dotted);
