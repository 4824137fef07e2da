#include "release/VersionOrder.h"

#include "release/FieldCursor.h"

namespace {

// The component starting at `pos` as its digits without leading zeros ("" for 0); `pos` moves
// past the component's dot, or to the end.
std::string NextComponent(const std::string& text, std::string::size_type& pos)
{
    std::string digits;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (!(digits.empty() && text[pos] == '0')) digits += text[pos];
        ++pos;
    }
    // Whatever follows the digits up to the dot ("1b") does not count.
    const std::string::size_type dot = text.find('.', pos);
    pos = dot == std::string::npos ? text.size() : dot + 1;
    return digits;
}

int CompareDigits(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

int CompareVersions(const std::string& a, const std::string& b)
{
    const std::string left = CFieldCursor::Trimmed(a);
    const std::string right = CFieldCursor::Trimmed(b);
    std::string::size_type i = 0, j = 0;
    while (i < left.size() || j < right.size()) {
        const int order = CompareDigits(NextComponent(left, i), NextComponent(right, j));
        if (order != 0) return order;
    }
    return 0;
}
