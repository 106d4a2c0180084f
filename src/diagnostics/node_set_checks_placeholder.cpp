// PLACEHOLDER, to be deleted when the node-set checks land: keeps the
// analysis run linkable.  It checks nothing and writes nothing.
#include "diagnostics/node_set_checks.h"

namespace velm {

int check_network_node_sets(Session& /*session*/, const std::string& /*study_name*/,
                            const NetworkNodeSets& /*node_sets*/)
{
    return 0;
}

}  // namespace velm
