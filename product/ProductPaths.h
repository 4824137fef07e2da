#pragma once
// Path decisions of the product, kept free of Windows calls so that tests can run them anywhere.
#include <string>
#include <vector>

// "C:\Morvel\Nuvra\" -> "C:\Morvel\Nuvra"; a drive root keeps its separator ("C:\").
std::string StripTrailingSeparators(const std::string& folder);

// The folder holding a path: "C:\Morvel\Nuvra\Nuvra.exe" -> "C:\Morvel\Nuvra",
// "C:\Nuvra" -> "C:\". Empty when the path has no separator.
std::string ParentFolder(const std::string& path);

// folder + "\" + name without doubling a separator the folder already ends with.
std::string JoinPath(const std::string& folder, const std::string& name);

// Where to look for the updater, in order: beside the product, in the folder above it, then in
// the folder the installation record names (empty when it names none). No duplicates.
std::vector<std::string> UpdaterCandidates(const std::string& productExePath, const std::string& recordedUpdaterFolder);
