#pragma once
// One of the nine ways of logging on to an FTP server through a firewall (0..8).
#include <string>
#include <vector>

namespace nsFTP {

class CFirewallType {
public:
    // Named values (kept clear of Windows' macros such as TRANSPARENT).
    static constexpr int kNoFirewall = 0;
    static constexpr int kSiteHostname = 1;
    static constexpr int kUserAfterLogon = 2;
    static constexpr int kProxyOpen = 3;
    static constexpr int kTransparent = 4;
    static constexpr int kUserWithNoLogon = 5;
    static constexpr int kUserFireIdAtRemoteHost = 6;
    static constexpr int kUserRemoteIdAtRemoteHostFireId = 7;
    static constexpr int kUserRemoteIdAtFireIdAtRemoteHost = 8;
    static constexpr int kCount = 9;

    CFirewallType() = default;
    explicit CFirewallType(int value) : m_value(value) {}

    int Value() const { return m_value; }
    bool IsValid() const { return m_value >= 0 && m_value < kCount; }

    // "" for an out-of-range value.
    std::string AsDisplayString() const;
    std::string AsEnumName() const;

    // All nine, in value order.
    static std::vector<CFirewallType> GetAllTypes();

    bool operator==(const CFirewallType& other) const { return m_value == other.m_value; }
    bool operator!=(const CFirewallType& other) const { return m_value != other.m_value; }
    bool operator<(const CFirewallType& other) const { return m_value < other.m_value; }

private:
    int m_value = kNoFirewall;
};

} // namespace nsFTP
