#include "client/Dispatch.hpp"

#include <sstream>

namespace parlana {

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
