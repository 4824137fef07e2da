#pragma once
// Access to the installation record: HKEY_CURRENT_USER\SOFTWARE\Morvel\<product>, whose string
// values the product writes and this program reads (and, after an update, the version).
// Registry texts are limited to 259 characters; the helpers never read or write past that.
#include "framework/Handles.h"

#include <string>

namespace InstallRecord {
// The maker's key below HKEY_CURRENT_USER and the product's sub-key.
constexpr const char* kMakerKey = "SOFTWARE\\Morvel";
constexpr const char* kProductName = "Nuvra";
// The longest text a value may hold: the buffers are 260 bytes with the terminating zero.
constexpr std::size_t kMaxText = 259;
// Read and write (0x2001F): query, enumerate, notify, set values and create sub-keys. Every
// opening of the maker's key or a sub-key of it asks for exactly this.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
// Where Apps & Features finds the product's entry (sub-key kProductName), which the product
// writes: below HKEY_CURRENT_USER for a per-user installation, HKEY_LOCAL_MACHINE for a
// machine-wide one.
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kDisplayVersion = "DisplayVersion";
} // namespace InstallRecord

// The maker's key with the record's access; an empty owner when it cannot be opened.
CRegKey OpenMakerKey();

// Opens the maker's key, then its sub-key name, both with the record's access. An empty owner
// when either cannot be opened. An empty name gives the maker's key.
CRegKey OpenProductKey(const std::string& name);

// Installed means: the product's key opens with the record's access.
bool IsProductInstalled();

// The value's text, or "" when it is missing or unreadable; a value longer than the 260-byte
// buffer reads as "" and one that fills it without a terminating zero is cut to 259 characters.
std::string ReadRegString(HKEY key, const std::string& valueName);

// Stores text as REG_SZ (length without the terminating zero). Refuses (false) a text longer
// than 259 characters, which the reader could not take back.
bool WriteRegString(HKEY key, const std::string& valueName, const std::string& text);

// Keeps DisplayVersion of the product's uninstall entry current, in each root that has one; an
// entry that is missing is not made (the product makes it).
void RecordDisplayVersion(const std::string& version);

// The record's version becomes this one, and Apps & Features shows it too. False (and Apps &
// Features left alone) when the record cannot be opened or written: the commit that asked is
// then undone, so the files never claim a release the record does not name.
bool RecordProductVersion(const std::string& version);
