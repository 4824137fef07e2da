#pragma once
// A representation type as set on the server with TYPE: ASCII, EBCDIC, image (binary) or local
// byte size, the first two with a format control.
#include <string>

namespace nsFTP {

class CRepresentation {
public:
    enum class Type { Ascii, Ebcdic, Image, Local };
    enum class Format { NonPrint, Telnet, CarriageControl };

    explicit CRepresentation(Type type, Format format = Format::NonPrint, int byteSize = 8)
        : m_type(type), m_format(format), m_byteSize(byteSize)
    {
    }

    Type GetType() const { return m_type; }
    Format GetFormat() const { return m_format; }
    int ByteSize() const { return m_byteSize; }

    // The argument of the TYPE command: "A", "E T", "I", "L 8", ... The format is written only
    // when it is not the default (non-print).
    std::string TypeArgument() const;

    bool operator==(const CRepresentation& other) const;
    bool operator!=(const CRepresentation& other) const { return !(*this == other); }

private:
    Type m_type;
    Format m_format;
    int m_byteSize;
};

} // namespace nsFTP
