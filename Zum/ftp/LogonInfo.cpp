#include "Zum/ftp/LogonInfo.h"

namespace nsFTP {

CLogonInfo::CLogonInfo(const std::string& host, int port, const std::string& user, const std::string& password,
                       const std::string& account)
{
    SetHost(host, port, user, password, account);
}

CLogonInfo::CLogonInfo(const std::string& host, int port, const std::string& user, const std::string& password,
                       const std::string& account, const std::string& fwHost, const std::string& fwUser,
                       const std::string& fwPassword, int fwPort, const CFirewallType& fwType)
{
    SetHost(host, port, user, password, account);
    SetFirewall(fwHost, fwUser, fwPassword, fwPort, fwType);
}

void CLogonInfo::SetHost(const std::string& host, int port, const std::string& user, const std::string& password,
                         const std::string& account)
{
    m_strHostname = host;
    m_iHostport = port;
    m_strUsername = user;
    m_strPassword = password;
    m_strAccount = account;
}

void CLogonInfo::SetFirewall(const std::string& host, const std::string& user, const std::string& password, int port,
                             const CFirewallType& type)
{
    m_strFwHost = host;
    m_strFwUsername = user;
    m_strFwPassword = password;
    m_iFwPort = port;
    m_FwType = type;
}

} // namespace nsFTP
