// The last two lists of the diagnostics report, read from the link data
// bases as the telescoping pass has left them:
//   - the large-pipe list: every link (headwater links aside) whose existing
//     or proposed pipe is 84 inches or more in diameter;
//   - the upgraded-link list: every link that the telescoping rules give a
//     new element although the deficiency analysis did not find it deficient.
// Both list the links in map order and record order, nothing sorted.
#pragma once

#include <string>
#include <vector>

#include "records/link_data_base.h"

namespace velm {

// The lines of each list, heading first, for the records of every map in
// data file order.
class LargePipeList {
public:
    LargePipeList();
    void add(const LinkRecord& record);
    // The lines, with the empty line of a study without any pipe link.
    std::vector<std::string> finish();

private:
    std::vector<std::string> lines_;
    bool pipe_seen_ = false;
};

class UpgradedLinkList {
public:
    UpgradedLinkList();
    void add(const LinkRecord& record);
    // The lines, with the empty line of a list without any link.
    std::vector<std::string> finish();

private:
    std::vector<std::string> lines_;
    bool listed_ = false;
};

}  // namespace velm
