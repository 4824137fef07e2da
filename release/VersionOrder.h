#pragma once
// The one order of release versions: the list's version against the installed one, and every
// entry's version against it.
#include <string>

// Compares two dotted versions component by component as numbers ("1.1.0" > "1.0.10" > "1.0.9").
// Missing components count as 0 ("1.0" == "1.0.0"); blanks around the text are ignored; each
// component counts by its leading digits, so text without digits counts as 0 (an empty or
// non-numeric installed version is below every release). Numbers of any length compare exactly.
// Returns a negative number, 0 or a positive number as `a` is below, equal to or above `b`.
int CompareVersions(const std::string& a, const std::string& b);
