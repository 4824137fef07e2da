#pragma once
// The version list ("version.txt" on the update server) decides whether a fresh installation
// may start: the first record whose selector reads as 0 counts, and its fifth field "no"
// (any case) refuses.
#include <string>
#include <vector>

class CVersionList {
public:
    enum class Decision { NoRecord, Allowed, Refused };

    static Decision Select(const std::vector<std::string>& lines);
};
