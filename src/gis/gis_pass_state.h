// The state of the GIS pass over one model file: what its header says
// (model type, header value 5, subarea extension switch, GIS update option).
// The area-weighted sums its subarea parts add to are those the copy-back
// writes its header averages from (records/model_file_copy_back.h).
#pragma once

#include <array>
#include <cmath>

#include "gis/gis_record_lookups.h"
#include "records/model_file.h"
#include "records/model_file_copy_back.h"

namespace velm {

// The GIS update option of a model file: one digit (header value 9, its
// remainder by 10, sign kept) that sums the weights of the GIS data bases
// that update the file: subareas 2, links 3, nodes 4.  So 2 subareas only,
// 3 links, 4 nodes, 5 subareas and links, 6 subareas and nodes, 7 links and
// nodes, 9 all three; 0, 1, 8 and negative digits select nothing.  The one
// rule serves the driver, which opens the GIS files, and the group updaters,
// which look records up in them.
struct GisUpdateOption {
    int digit = 0;

    bool selects_subareas() const { return digit == 2 || digit == 5 || digit == 6 || digit == 9; }
    bool selects_links() const { return digit == 3 || digit == 5 || digit == 7 || digit == 9; }
    bool selects_nodes() const { return digit == 4 || digit == 6 || digit == 7 || digit == 9; }
};

// What the model file's header tells the pass.
struct GisPassState {
    int model_type = 0;                // HydrologyModelType: |header value 2|, truncated
    int header_value_5 = 0;            // whole part of header value 5: the tenths digit of packed lengths
    int subarea_extension_switch = 0;  // 2: every subarea part carries six extension values
    GisUpdateOption option;            // header value 9

    static GisPassState of(const ModelFileHeader& header)
    {
        GisPassState state;
        state.model_type = header.model_type();
        const float value_5 = header.value(5);
        state.header_value_5 = std::fabs(value_5) < 1.0e9f ? static_cast<int>(value_5) : 0;
        state.subarea_extension_switch = header.subarea_extension_switch();
        state.option.digit = header.gis_update_option();
        return state;
    }
};

}  // namespace velm
