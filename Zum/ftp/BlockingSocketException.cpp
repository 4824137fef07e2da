#include "Zum/ftp/BlockingSocketException.h"

#include "Zum/ftp/SocketPlatform.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace nsSocket {

namespace {
std::string MessageForm(const std::string& message, int error)
{
    if (error == 0) return message + " error";
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned int>(static_cast<std::uint32_t>(error)));
    return message + " error 0x" + hex;
}
} // namespace

CBlockingSocketException::CBlockingSocketException(std::string message)
    : CBlockingSocketException(std::move(message), platform::LastError())
{
}

CBlockingSocketException::CBlockingSocketException(std::string message, int error)
    : m_nError(error), m_strMessage(std::move(message)), m_strWhat(MessageForm(m_strMessage, m_nError))
{
}

bool CBlockingSocketException::GetErrorMessage(char* buffer, unsigned int maximum, unsigned int* /*helpContext*/) const
{
    if (buffer == nullptr || maximum == 0) return false;
    const size_t length = std::min<size_t>(m_strWhat.size(), maximum - 1);
    std::memcpy(buffer, m_strWhat.data(), length);
    buffer[length] = '\0';
    return true;
}

std::string CBlockingSocketException::GetErrorText() const
{
    return platform::SystemErrorText(m_nError) + " (" + m_strWhat + ")";
}

} // namespace nsSocket
