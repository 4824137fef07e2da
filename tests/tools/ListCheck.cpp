// The updater's own verdict on a file list, for the publishing tool's tests: exits 0 only when
// an updater (with a release key, given --keyed) would take the list, 1 with the reason when it
// would refuse it, 2 when the file cannot be read. With --expired-at, a keyed updater's verdict at
// that time. --compare prints the updater's order of two versions (-1, 0 or 1).
//
//     nuvra_list_check <list file> [--keyed] [--folder <product folder>] [--expired-at <unix time>]
//     nuvra_list_check --compare <version> <version>
#include "launch/ProductCommandLine.h"
#include "net/TextFileReader.h"
#include "release/EntryHashes.h"
#include "release/FileListEntry.h"
#include "release/ReleaseListCheck.h"
#include "release/VersionOrder.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::streamoff kMaxListBytes = 16 << 20;
// The longest default product folder: the per-user programs folder of a 20-character user name.
const char kReferenceFolder[] = "C:\\Users\\uuuuuuuuuuuuuuuuuuuu\\AppData\\Local\\Programs\\Morvel\\Nuvra";

int Refuse(const char* reason)
{
    std::cout << reason << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: nuvra_list_check <list file> [--keyed] [--folder <product folder>]\n";
        return 2;
    }
    if (std::string(argv[1]) == "--compare" && argc == 4) {
        const int order = CompareVersions(argv[2], argv[3]);
        std::cout << (order < 0 ? -1 : order > 0 ? 1 : 0) << "\n";
        return 0;
    }
    bool keyed = false;
    std::string folder = kReferenceFolder;
    long long expiredAt = -1;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--keyed") {
            keyed = true;
        } else if (option == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (option == "--expired-at" && i + 1 < argc) {
            expiredAt = std::stoll(argv[++i]);
        }
    }
    std::ifstream size(argv[1], std::ios::binary | std::ios::ate);
    if (!size) return 2;
    if (size.tellg() > kMaxListBytes) return Refuse("larger than 16 MiB");

    std::vector<std::string> lines;
    CTextFileReader reader;
    if (!reader.ReadTextFile(argv[1], lines)) return 2;
    if (!IsReleaseList(lines)) return Refuse("not a release list");
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const CFileListEntry entry = CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Trim);
        if (entry.IsEntry() && !entry.HasSafePath()) return Refuse("unsafe entry path");
    }
    std::string commandLine;
    if (!MakeFirstStartCommandLine(folder, "Nuvra.exe", ListVersion(lines), lines[0], commandLine))
        return Refuse("title and version do not fit the first start's command line");
    if (keyed && !EveryEntryHashed(lines, CFileListEntry::Blanks::Trim)) return Refuse("an entry without a hash");
    if (expiredAt >= 0 && HasExpired(lines, expiredAt)) return Refuse("expired");
    return 0;
}
