#include "Zum/ftp/Representation.h"

namespace nsFTP {

std::string CRepresentation::TypeArgument() const
{
    switch (m_type) {
    case Type::Image: return "I";
    case Type::Local: return "L " + std::to_string(m_byteSize);
    case Type::Ascii:
    case Type::Ebcdic: break;
    }
    std::string argument = m_type == Type::Ascii ? "A" : "E";
    if (m_format == Format::Telnet)
        argument += " T";
    else if (m_format == Format::CarriageControl)
        argument += " C";
    return argument;
}

bool CRepresentation::operator==(const CRepresentation& other) const
{
    if (m_type != other.m_type) return false;
    if (m_type == Type::Local) return m_byteSize == other.m_byteSize;
    if (m_type == Type::Image) return true;
    return m_format == other.m_format;
}

} // namespace nsFTP
