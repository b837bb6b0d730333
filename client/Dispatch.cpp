#include "client/Dispatch.hpp"

#include <sstream>

namespace parlana {

PacketKind classify_packet(const std::string& text)
{
    if (beginsWith(text, kRosterToken))
        return PacketKind::Roster;
    if (beginsWith(text, kUidErrorToken))
        return PacketKind::UidRefused;
    if (beginsWith(text, kLimitToken))
        return PacketKind::ServerFull;
    return PacketKind::ChatLine;
}

std::vector<std::string> split_roster(const std::string& text)
{
    // getline gives exactly the pieces wanted: none after a final comma,
    // an empty one between two adjacent commas.
    std::istringstream stream(text);
    std::vector<std::string> uids;
    std::string piece;
    bool header = true;
    while (std::getline(stream, piece, ',')) {
        if (header)
            header = false;
        else
            uids.push_back(piece);
    }
    return uids;
}

} // namespace parlana
