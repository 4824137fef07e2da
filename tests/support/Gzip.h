#pragma once
// A gzip file of some bytes, for serving compressed bodies in tests without a compression library:
// one fixed-Huffman deflate block whose only matches are runs of one byte, so a long run shrinks
// to a few hundred bytes while any other content stays about its own size.
#include <string>

std::string GzipOf(const std::string& data);
