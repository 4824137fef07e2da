#pragma once
// Whether a fetched component file list may be used, decided in one place for the install, the
// update and the repair before any file is downloaded or touched.
#include <string>
#include <vector>

enum class ListPurpose { Install, Update, Repair };

// What the fetcher found out about the list's signature.
enum class ListSignature {
    NotAsked, // the build has no release key
    Verified,
    Missing, // the signature file could not be fetched
    Wrong,   // it does not verify with the release key
};

enum class ListVerdict {
    Usable,
    Unsigned,    // a keyed build and no valid signature
    Expired,     // a signed list whose expiry line has passed
    NotARelease, // no plain title, dotted version and entry (a web page, a cut file)
    UnsafeEntry, // an entry to be written names something outside the product folder
    Unhashed,    // a keyed build and an entry to be written without a SHA-256
    Older,       // the list's version is below the installed one
};

struct CListFacts {
    ListPurpose purpose = ListPurpose::Install;
    std::vector<std::string> lines;
    std::string installedVersion; // update and repair: what the record names
    ListSignature signature = ListSignature::NotAsked;
    long long nowUnixSeconds = 0;
};

// The verdict on one list. An older release is refused by the update and the repair alike:
// anyone who can answer the updater's requests could otherwise roll an installation back. The
// install and the repair write every entry, the update only those newer than the installed
// version; only those need safe names and, in a keyed build, hashes.
ListVerdict JudgeList(const CListFacts& facts);
// The reason for the log, after "list refused: ".
const char* ListVerdictText(ListVerdict verdict);
