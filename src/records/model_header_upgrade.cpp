// The upgrade of old model file headers.
#include "records/model_header_upgrade.h"

namespace velm {

bool upgrade_model_file_layout(ModelFile& file)
{
    return file.header.upgrade_layout();
}

}  // namespace velm
