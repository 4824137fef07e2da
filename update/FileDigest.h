#pragma once
// The SHA-256 of a file on disk as lower-case hex; "" when it cannot be read to its end.
#include <string>

std::string Sha256OfFile(const std::string& path);
