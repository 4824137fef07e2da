#include "tests/support/Gzip.h"

#include <cstdint>

namespace {

std::uint32_t Crc32(const std::string& data)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Deflate's bit order: values least significant bit first, Huffman codes most significant first.
class CBitWriter {
public:
    void Value(std::uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1u);
    }
    void Code(std::uint32_t code, int length)
    {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1u);
    }
    // A symbol of the fixed literal/length alphabet.
    void Symbol(unsigned symbol)
    {
        if (symbol < 144)
            Code(0x30 + symbol, 8);
        else if (symbol < 256)
            Code(0x190 + symbol - 144, 9);
        else if (symbol < 280)
            Code(symbol - 256, 7);
        else
            Code(0xC0 + symbol - 280, 8);
    }
    std::string Finish() { return m_bytes; }

private:
    void Bit(std::uint32_t bit)
    {
        if (m_used == 0) m_bytes.push_back('\0');
        m_bytes.back() = static_cast<char>(static_cast<unsigned char>(m_bytes.back()) | (bit << m_used));
        m_used = (m_used + 1) % 8;
    }
    std::string m_bytes;
    int m_used = 0;
};

void PutLittleEndian(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

std::string GzipOf(const std::string& data)
{
    const unsigned kLongestMatch = 258; // length symbol 285, no extra bits
    CBitWriter bits;
    bits.Value(1, 1); // the last block
    bits.Value(1, 2); // fixed Huffman codes
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t run = 0;
        while (i > 0 && run < kLongestMatch && i + run < data.size() && data[i + run] == data[i - 1]) ++run;
        if (run == kLongestMatch) {
            bits.Symbol(285);
            bits.Code(0, 5); // distance 1
            i += run;
        } else {
            bits.Symbol(static_cast<unsigned char>(data[i]));
            ++i;
        }
    }
    bits.Symbol(256); // end of block

    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    out += bits.Finish();
    PutLittleEndian(out, Crc32(data));
    PutLittleEndian(out, static_cast<std::uint32_t>(data.size()));
    return out;
}
