#include "client/ServerTrust.hpp"

namespace parlana {

ServerTrust::Decision ServerTrust::decide(const std::string& host, unsigned short port, const PeerKey& key) const
{
    const std::string& presented = key.fingerprint;
    if (presented.empty())
        return {Verdict::NoKey, presented, m_pin.value_or("")};
    // A pin names the one key: an authority's word does not replace it.
    if (m_pin)
        return {presented == *m_pin ? Verdict::Accepted : Verdict::NotPinned, presented, *m_pin};
    if (key.vouchedFor)
        return {Verdict::Accepted, presented, {}};
    const KnownServers::Finding finding = m_known.check(host, port, presented);
    switch (finding.verdict) {
    case KnownServers::Verdict::Trusted:
        return {Verdict::Accepted, presented, {}};
    case KnownServers::Verdict::Changed:
        return {Verdict::Changed, presented, finding.known};
    case KnownServers::Verdict::Unknown:
        break;
    }
    const auto trusted = m_trustedThisRun.find({host, port});
    if (trusted == m_trustedThisRun.end())
        return {Verdict::Unknown, presented, {}};
    if (trusted->second == presented)
        return {Verdict::Accepted, presented, {}};
    return {Verdict::Changed, presented, trusted->second};
}

bool ServerTrust::trust(const std::string& host, unsigned short port, const std::string& fingerprint,
                        std::string& error)
{
    if (m_known.trust(host, port, fingerprint, error))
        return true;
    m_trustedThisRun[{host, port}] = fingerprint;
    return false;
}

} // namespace parlana
