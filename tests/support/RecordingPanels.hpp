#pragma once

#include <string>
#include <utility>
#include <vector>

namespace parlana::test {

/// Stands in for the message pane where only the lines handed to it matter.
struct RecordingPane {
    void insert_msg(std::string line) { lines.push_back(std::move(line)); }
    std::vector<std::string> lines;
};

/// Stands in for the roster panel where only the UIDs listed matter.
struct RecordingRoster {
    void refresh() { uids.clear(); }
    void getUIDS(std::string uid) { uids.push_back(std::move(uid)); }
    std::vector<std::string> uids;
};

} // namespace parlana::test
