#include "Zum/ftp/FirewallType.h"

namespace nsFTP {

namespace {
struct Names {
    const char* display;
    const char* enumName;
};

const Names kNames[CFirewallType::kCount] = {
    {"no firewall", "NO_FIREWALL"},
    {"SITE hostname", "SITE_HOSTNAME"},
    {"USER after logon", "USER_AFTER_LOGON"},
    {"proxy OPEN", "PROXY_OPEN"},
    {"Transparent", "TRANSPARENT"},
    {"USER with no logon", "USER_WITH_NO_LOGON"},
    {"USER fireID@remotehost", "USER_FIREID@REMOTEHOST"},
    {"USER remoteID@remotehost fireID", "USER_REMOTEID@REMOTEHOST_FIREID"},
    {"USER remoteID@fireID@remotehost", "USER_REMOTEID@FIREID@REMOTEHOST"},
};
} // namespace

std::string CFirewallType::AsDisplayString() const
{
    return IsValid() ? kNames[m_value].display : "";
}

std::string CFirewallType::AsEnumName() const
{
    return IsValid() ? kNames[m_value].enumName : "";
}

std::vector<CFirewallType> CFirewallType::GetAllTypes()
{
    std::vector<CFirewallType> all;
    for (int value = 0; value < kCount; ++value) all.emplace_back(value);
    return all;
}

} // namespace nsFTP
