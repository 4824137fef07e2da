#include "tests/support/HttpRequest.h"

#include <cctype>

namespace {

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

std::size_t CHttpRequest::CountHeader(const std::string& name) const
{
    std::size_t n = 0;
    for (const auto& h : headers)
        if (SameName(h.first, name)) ++n;
    return n;
}

std::string CHttpRequest::Header(const std::string& name) const
{
    for (const auto& h : headers)
        if (SameName(h.first, name)) return h.second;
    return std::string();
}
