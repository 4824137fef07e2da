#pragma once
// Where and as whom to log on, and through which firewall.
#include "Zum/ftp/FirewallType.h"

#include <string>

namespace nsFTP {

class CLogonInfo {
public:
    static constexpr int kDefaultPort = 21;

    CLogonInfo() = default;
    CLogonInfo(const std::string& host, int port, const std::string& user, const std::string& password,
               const std::string& account);
    CLogonInfo(const std::string& host, int port, const std::string& user, const std::string& password,
               const std::string& account, const std::string& fwHost, const std::string& fwUser,
               const std::string& fwPassword, int fwPort, const CFirewallType& fwType);

    void SetHost(const std::string& host, int port, const std::string& user, const std::string& password,
                 const std::string& account);
    void SetFirewall(const std::string& host, const std::string& user, const std::string& password, int port,
                     const CFirewallType& type);

    const std::string& Hostname() const { return m_strHostname; }
    int Hostport() const { return m_iHostport; }
    const std::string& Username() const { return m_strUsername; }
    const std::string& Password() const { return m_strPassword; }
    const std::string& Account() const { return m_strAccount; }
    const std::string& FwHost() const { return m_strFwHost; }
    const std::string& FwUsername() const { return m_strFwUsername; }
    const std::string& FwPassword() const { return m_strFwPassword; }
    int FwPort() const { return m_iFwPort; }
    const CFirewallType& FwType() const { return m_FwType; }

private:
    std::string m_strHostname;
    int m_iHostport = kDefaultPort;
    std::string m_strUsername = "anonymous";
    std::string m_strPassword;
    std::string m_strAccount;
    std::string m_strFwHost;
    std::string m_strFwUsername;
    std::string m_strFwPassword;
    int m_iFwPort = kDefaultPort;
    CFirewallType m_FwType;
};

} // namespace nsFTP
