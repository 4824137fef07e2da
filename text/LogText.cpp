#include "text/LogText.h"

namespace {

const char kEllipsis[] = "\xE2\x80\xA6"; // U+2026 in UTF-8

bool IsControl(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
        (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendEscapes(std::string& out, const char* bytes, std::size_t count)
{
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
}

// Calls `piece` with the escaped form of each character of the text, in order.
template <typename Piece>
void ForEachPiece(const std::string& text, const LogCharReader& read, Piece piece)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        out.clear();
        const char* at = text.data() + i;
        const std::size_t available = text.size() - i;
        char32_t code = static_cast<unsigned char>(*at);
        // Plain ASCII needs no reading: no code page gives those bytes another meaning.
        std::size_t length = code < 0x80 ? 1 : read(at, available, code);
        if (length == 0 || length > available) {
            AppendEscapes(out, at, 1);
            length = 1;
        } else if (IsControl(code) || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            AppendEscapes(out, at, length);
        } else {
            AppendUtf8(out, code);
        }
        piece(out);
        i += length;
    }
}

} // namespace

std::string LogLineText(const std::string& text, const LogCharReader& read, std::size_t maxBytes, std::size_t tailBytes)
{
    std::size_t total = 0;
    ForEachPiece(text, read, [&](const std::string& piece) { total += piece.size(); });
    std::string out;
    if (total <= maxBytes) {
        out.reserve(total);
        ForEachPiece(text, read, [&](const std::string& piece) { out += piece; });
        return out;
    }
    const std::string marker = std::string(kEllipsis) + "(" + std::to_string(text.size()) + " bytes)" + kEllipsis;
    const std::size_t tail = tailBytes < maxBytes ? tailBytes : maxBytes;
    const std::size_t head = maxBytes - tail > marker.size() ? maxBytes - tail - marker.size() : 0;
    const std::size_t tailStart = total - tail;
    std::size_t position = 0;
    bool cut = false;
    ForEachPiece(text, read, [&](const std::string& piece) {
        const std::size_t end = position + piece.size();
        if (!cut && end <= head) {
            out += piece;
        } else {
            if (!cut) out += marker;
            cut = true;
            if (position >= tailStart) out += piece;
        }
        position = end;
    });
    return out;
}

LogWrite DecideLogWrite(unsigned long long fileBytes, unsigned long long lineBytes, bool rotatedThisRun,
                        unsigned long long rotateBytes)
{
    if (fileBytes == 0 || fileBytes + lineBytes <= rotateBytes) return LogWrite::Append;
    if (!rotatedThisRun) return LogWrite::RotateFirst;
    return fileBytes + lineBytes <= 2 * rotateBytes ? LogWrite::Append : LogWrite::Drop;
}
