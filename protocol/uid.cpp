#include "protocol/uid.hpp"

#include "protocol/tokens.hpp"

#include <algorithm>

namespace parlana {

namespace {

// Every control token starts with this; a UID that did too could pass its
// chat lines off as control packets.
const std::string kControlPrefix = "$%$";

bool allowedInUid(char c)
{
    return c >= 0x20 && c <= 0x7E && c != ',' && c != ':';
}

} // namespace

bool isValidUid(const std::string& uid)
{
    return !uid.empty() && uid.size() <= kMaxUidBytes && std::all_of(uid.begin(), uid.end(), allowedInUid) &&
           !beginsWith(uid, kControlPrefix);
}

} // namespace parlana
