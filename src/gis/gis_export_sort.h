// The GIS export sort ("GIS DATA BASE PREPROCESSOR"): the study's GIS exports
// "SUBSZZ.ASC", "NODEZZ.ASC" and "LINKZZ.ASC" hold the long data-base records
// of every map in one file per element kind, in any order.  The sort splits
// them into the per-map GIS files that the rest of the system reads (per
// region for model types 6 and 9), each long record converted into the short
// GIS record of its kind with processed stamp 0, and adds to each map's GIS
// node file the upstream nodes of the links that enter the map from another
// map ("Extend Nodal Data Base"), so that every link of a map finds both of
// its nodes in the map's node file.
//
// Every GIS file is built whole in memory first; only when every record of
// every export could be written are the files replaced, so a record that a
// GIS layout cannot hold leaves all GIS files as they were.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_change.h"
#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"
#include "shell/session.h"

namespace velm {

// The exports, without the data directory.
inline constexpr std::string_view SUBAREA_EXPORT_NAME_FORMAT = "(A2,'SUBSZZ.ASC')";
inline constexpr std::string_view NODE_EXPORT_NAME_FORMAT = "(A2,'NODEZZ.ASC')";
inline constexpr std::string_view LINK_EXPORT_NAME_FORMAT = "(A2,'LINKZZ.ASC')";

std::string subarea_export_name(std::string_view study_id);
std::string node_export_name(std::string_view study_id);
std::string link_export_name(std::string_view study_id);

// A study file's name as the messages show it: its file part in the letter
// case in which it stands on the disk (the resolver finds a file whatever the
// case of its name), its directory as the study gives it; the name as given
// when there is no such file.
std::string name_as_on_disk(std::string_view name);

// Which of the three exports exist (the module's existence test).
struct GisExportPresence {
    bool subareas = false;
    bool nodes = false;
    bool links = false;

    bool any() const { return subareas || nodes || links; }
};

// The maps (or regions) the sort wrote, from every export, in the order it
// first met them: six-character map codes, the study identifier and four
// digits ("AB1234", or "AB1200" for a region).  The checks pass checks
// exactly these.
struct GisMapList {
    std::vector<std::string> map_codes;
};

// The record conversions of the sort, one long record to one short record.

// Values 2 to 12 below 0 become 0; values 6 and 7 (subarea columns 9 and 11)
// above 10 are multiplied by 0.1.  Model type 5 takes its rainfall from
// column 93, type 6 from column 94; in type 6 every cell of more than 0.005
// acres takes 100 and its third value onto its land use, and a smaller one
// is written with land use and soil 0.
GisSubareaRecord gis_subarea_record_from_export(const SubareaRecord& subarea, int model_type);
GisNodeRecord gis_node_record_from_export(const NodeRecord& node);
// A negative length becomes 0; a link with neither curb height nor gutter
// hike above 0 carries no street (values 4 to 13 and the element type 0), a
// link with no element height no element (values 16 to 19 0).  The street
// friction factor is the link's own when above 0, else 0.
GisLinkRecord gis_link_record_from_export(const LinkRecord& link);

// Sorts the exports that are present, in the order subarea, node, link,
// showing its progress on the window, and writes their GIS files.  A GIS
// file of a map that no present export holds keeps its old content.  A
// missing export that was found present is a FileError naming it, and so is
// a record of an export broken by a slash (naming the line and the value); a
// record that its GIS layout cannot hold (or whose number names no GIS file) is
// shown on the window with its export and line, and ends the program after
// RETURN, before any GIS file is replaced.  Given a change, the GIS files
// become its new versions, replaced only when the change is committed.
GisMapList preprocess_gis_data_bases(Session& session, const GisExportPresence& present, int model_type,
                                     std::string_view study_id, FileChange* change = nullptr);

}  // namespace velm
