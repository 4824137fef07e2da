#pragma once
// The one check that the install and the update make before a file-list entry names anything
// on disk. The list comes from the network; its names must stay below the product folder and
// must be plain names the file system stores as written.
#include <string>

// True when subFolder ("/"-separated, may be empty) and fileName (one name) are safe. Unsafe:
// an empty file name; an absolute, rooted or share path; a drive letter or any ":" (also an
// alternate data stream); an empty, "." or ".." component (so no leading, trailing or doubled
// "/"); a "\" or a "/" inside the file name; a control character or one of < > " | ? *; a
// reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, COM and LPT with a superscript
// digit, CONIN$, CONOUT$), also with an extension ("nul.txt"); a component ending in "." or a
// blank; a lead byte of code page 949 without its second byte. Double-byte characters are fine.
bool IsSafeEntryPath(const std::string& subFolder, const std::string& fileName);
