// Small, consistent studies for the module tests: nodes, links and subareas
// are described once, and every file of the study is derived from them, so
// the data bases, the GIS files and the link-node model files agree by
// construction:
//   - per map (per region for model type 9): the link, node and subarea
//     data bases (".ZLL", ".ZNN", ".ZSS") and one model file per storm event
//     (".Z11", ".Z12", ...);
//   - per map, or per region for model types 6 and 9: the GIS node, link and
//     subarea files (".ZZN", ".ZZL", ".ZZS");
//   - per storm event: the model list "TRVLZZ.Z1y" naming every map's model file;
//   - the control file, and the data directory file when one is set.
//
// A link belongs to the map of its downstream node; a node to the map of its
// number.  Each map's model file walks the map's network from its outlets up:
// a stream starts at a headwater with its initial subarea (code 21; in model
// type 6 code 22, which opens with the subarea's time of concentration of the
// storm event and holds the flow-path length packed with the rainfall digit
// and the headwater's elevation in cell 1's soil, as the GIS update writes
// them) or at a seam from an upstream map (code 152), runs down its
// reaches, meets other streams at confluences (a code-1 group after each
// entering stream), takes
// the subareas added at a node (code 81), and leaves the map at a seam (code
// 151) or ends at the study outlet.  Element sizes go into the model file in
// its own units (pipe diameters in inches).
//
// Every file is written through the system's record writers.  A test seeds a
// fault by editing a record returned by add_*, by editing the generated model
// files or GIS files through a hook before they are written, or by leaving a
// file out.  Each map's model results file (".ZZZ") is derived from the same
// description unless a test gives the map its own groups.
#pragma once

#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "records/model_results_file.h"
#include "records/node_data_base.h"
#include "records/string_files.h"
#include "records/subarea_data_base.h"
#include "shell/control_settings.h"

namespace velm::test {

// The as-built element of a link (link columns 22 to 27).
struct Element {
    ElementType type = ElementType::NoElement;
    float height = 0.0f;      // ft: pipe diameter, box height, channel depth
    float base_width = 0.0f;  // ft; for pipes the number of pipes
    float side_slope = 0.0f;  // channel Z (horizontal / vertical)
    float friction = 0.0f;    // Manning n
    float freeboard = 0.0f;   // ft, channels

    static Element none() { return {}; }
    static Element pipe(float diameter, float friction = 0.013f, float pipes = 1.0f);
    static Element box(float height, float width, float friction = 0.015f);
    static Element channel(float depth, float base_width, float side_slope, float friction = 0.025f,
                           float freeboard = 0.0f);
};

// A street cross-section carrying flow on a link (link columns 10 to 20).
struct StreetSection {
    float curb_height = 0.667f;            // ft
    float half_width = 20.0f;              // ft, curb to crown
    float gutter_lip = 0.1667f;            // ft
    float gutter_width = 2.0f;             // ft
    float gutter_hike = 0.125f;            // ft
    float crown_to_gradebreak = 18.0f;     // ft
    float center_lane_crossfall = 0.02f;   // decimal
    float outside_lane_crossfall = 0.02f;  // decimal
    float parkway_crossfall = 0.02f;       // decimal
    int sides = 2;                         // street sides that carry flow
    float friction = 0.015f;               // Manning n

    bool operator==(const StreetSection&) const = default;
};

// The curve-number values of a subarea of a type-10 study (its code-21 group).
struct CurveNumberValues {
    float initial_abstraction = 0.1f;   // initial rainfall abstraction
    float curve_number = 75.0f;         // S.C.S. curve number
    float impervious_fraction = 0.25f;  // decimal
    float watershed_lag = 0.5f;         // hours
};

// The modified Puls routing data of a storage element of a type-10 study:
// the 70 values after the 7 leading values of its code-61 group.
struct StorageRouting {
    int initial_condition_option = 1;  // 1 storage volume, 2 flow rate, 3 elevation
    float initial_value = 0.0f;
    int outflow_option = 1;  // 1 elevation-storage-discharge, 2 elevation-area-discharge
    std::vector<std::array<float, 3>> sets{{100.0f, 0.0f, 0.0f},
                                           {102.0f, 5.0f, 10.0f}};  // elevation, storage, discharge

    std::array<float, 70> block() const;
};

// How a subarea enters the network in the model file.
enum class SubareaEntry {
    Automatic,  // initial subarea of the code-21 link that starts at its node, else AtNode
    Initial,    // the subarea part of the code-21 link that starts at its node
    AtNode,     // a code-81 group after the stream reaching its node is complete
    AlongLink,  // the subarea part of the first link ending at its node whose group carries one
                // that the cross-check reads (a channel or a pipe under a street; a street
                // alone only outside model types 6 and 9)
};

// The GIS files of one map or region, as they will be written.
struct GisFiles {
    std::vector<GisNodeRecord> nodes;
    std::vector<GisLinkRecord> links;
    std::vector<GisSubareaRecord> subareas;
};

class StudyBuilder {
public:
    // `storm_events`: 1 to 6, the model files and lists per map and event.
    // Model types 1 to 10.  In a study of the curve-number model (10) the
    // initial subareas carry 88 data values (area in square miles, land-use
    // cells, lag, abstraction, curve number, impervious fraction, subarea
    // number), storage elements and channels 77, and every other group the
    // values of the general layout, which the walker reads up to the next
    // marker.
    explicit StudyBuilder(std::string study_id = "AB", int model_type = 6, int storm_events = 1);

    const std::string& study_id() const { return study_id_; }
    int model_type() const { return model_type_; }
    int storm_events() const { return storm_events_; }

    // A node with its ground elevation (ft) and peak flow rates (cfs) of
    // storm events 1, 2, ... (missing events 0).  Nodes come before the
    // links that join them.
    NodeRecord& add_node(float node, float elevation, std::vector<float> peak_flows = {});

    // The link of an initial subarea (process code 21): from a headwater
    // node over the subarea's flow path (ft), without an element.
    LinkRecord& add_initial_link(float headwater_node, float downstream_node, float flow_path_length);

    // A conveyance link between two added nodes, length in ft.  Its process
    // code follows from its element: 41 pipe, 43 pipe under a street, 46
    // box, 51 open channel, 61 street only, 31 neither (a conduit the
    // hydrology sized itself).  Both kinds of link take their elevations
    // and their upstream and downstream peak flows from the nodes as they
    // stand when the link is added (a stream entering a confluence carries
    // less than the node's joined flow: set its flows on the record).
    LinkRecord& add_link(float upstream_node, float downstream_node, float length, const Element& element,
                         const std::optional<StreetSection>& street = std::nullopt);

    // A subarea of `area` acres in one land-use cell, numbered by the node
    // where it enters; an initial subarea by its headwater node, which header
    // value 4 of the model files (1.2) tells the statistics.  Land use
    // and soil as the hydrology codes them; the defaults, and the rainfall
    // value the model type's subarea checks read, pass those checks.
    SubareaRecord& add_subarea(float subarea, float area, SubareaEntry entry = SubareaEntry::Automatic,
                               float land_use = 1.0f, float soil = 2.0f);

    // Type 10: a storage element, a code-61 link without element or street,
    // and the curve-number values of a subarea (defaults otherwise).
    LinkRecord& add_storage_element(float upstream_node, float downstream_node, float length,
                                    const StorageRouting& routing = {});
    void set_curve_number_values(float subarea, const CurveNumberValues& values);

    // The records by the numbers they were added with (std::out_of_range
    // when there is none).  References stay valid while records are added.
    NodeRecord& node(float node);
    LinkRecord& link(float upstream_node, float downstream_node);
    SubareaRecord& subarea(float subarea);
    const std::deque<NodeRecord>& nodes() const { return nodes_; }
    const std::deque<LinkRecord>& links() const { return links_; }
    const std::deque<SubareaRecord>& subareas() const { return subareas_; }

    // A hydraulic string as the telescoping pass leaves it: its links (added
    // before, node pairs in flow order) become the long-form records of the
    // string file "<study>NNNNZZ.ZST", numbered in the order added, and the
    // string's line of the index "<study>INDXZZ.ZST".  A record takes the
    // link's nodes, elevations, length, slope and existing element, and its
    // computer-recommended replacement element (columns 110 and 102 to 105)
    // as the telescoped element, as the link stands when the string is
    // added; edit the returned records for other values.  Without strings
    // neither the string files nor the index are written.
    std::vector<TelescopedStringRecord>& add_string(const std::vector<std::pair<float, float>>& links);
    const std::deque<std::vector<TelescopedStringRecord>>& strings() const { return strings_; }

    // Model file header values of every map and event (1-based position of
    // the full or compact layout), and the return frequency (years) of an
    // event, header value 12.
    void set_header_value(int position, float value);
    void set_storm_return_frequency(int storm_event, float years);
    // The 50-character text of the seam groups that leave `node` (code 151)
    // and enter the downstream map at it (code 152); by default the model
    // file name of the map on the other side.
    void set_seam_text(float node, std::string text);

    // The model results file of a map ("<stem>.ZZZ"), written for every map.
    // Unless set, one group per link of the map in link order: the link's
    // nodes, process code and event-1 travel time, the total tributary area
    // of its downstream node, the area of the subareas its group carries, and
    // the time of concentration at its downstream node (an initial subarea's
    // event-1 time at the end of its link, then travel times added
    // downstream, the largest where streams join).
    void set_model_results(int map_number, std::vector<ModelResultsGroup> groups);
    std::vector<ModelResultsGroup> model_results(int map_number) const;

    // Control file: written with the defaults unless set or omitted.
    void set_controls(const ControlParameters& parameters, const HglControlTable& controls = {});
    void omit_control_file() { write_control_file_ = false; }
    // Writes "<study>MPDZZ.ZZZ" with this first line; the study files then
    // go into the directory it names, a relative path such as
    // "DATA\AB\STUDY.TXT" taken from the written directory.
    void set_data_directory(std::string first_line);

    // Hooks run on the generated files just before they are written, in the
    // order added: for a fault in the model files or the GIS files.
    using ModelFileEdit = std::function<void(int map_number, int storm_event, ModelFile& file)>;
    using GisFilesEdit = std::function<void(const std::string& file_stem, GisFiles& files)>;
    using ModelListEdit = std::function<void(int storm_event, std::vector<ModelListEntry>& entries)>;
    void edit_model_files(ModelFileEdit edit) { model_file_edits_.push_back(std::move(edit)); }
    void edit_gis_files(GisFilesEdit edit) { gis_file_edits_.push_back(std::move(edit)); }
    void edit_model_lists(ModelListEdit edit) { model_list_edits_.push_back(std::move(edit)); }

    // The study-wide GIS exports "<study>SUBSZZ.ASC", "NODEZZ.ASC" and
    // "LINKZZ.ASC": every subarea, node and link in the order added, in the
    // data base layouts, so that the GIS update's sort of them gives exactly
    // the GIS files the builder writes.  write() writes them once asked to;
    // write_gis_exports(directory) writes only them (for exports that
    // differ from the model files: change the records after write()).
    void add_gis_exports() { write_gis_exports_ = true; }
    void write_gis_exports(const std::filesystem::path& directory) const;
    std::vector<std::string> gis_export_names() const;

    // Leaves a file out: the name as file_names() lists it (any case).
    void omit_file(std::string_view name);

    // The maps of the study in list order (ascending map numbers): for model
    // type 9 the regions (map numbers rounded down to a multiple of 100),
    // which keep every per-map file of their maps.
    std::vector<int> map_numbers() const;
    // The map whose files hold a node or subarea number (its region for
    // model type 9); a link's is that of its downstream node.
    int file_map_of(float number) const;
    // The names of the files write() writes, without the data directory,
    // the data directory file first when there is one.
    std::vector<std::string> file_names() const;

    // The generated content, for tests that look at it without files (the
    // hooks applied).  GIS files are named by their stem, "AB2300ZZ".
    ModelFile model_file(int map_number, int storm_event) const;
    std::vector<std::string> gis_file_stems() const;
    GisFiles gis_files(std::string_view file_stem) const;
    std::vector<ModelListEntry> model_list_entries(int storm_event) const;

    // Writes every file of the study into `directory` (which must exist).
    void write(const std::filesystem::path& directory) const;

private:
    struct Plan;  // where every record goes, worked out once per write
    Plan plan() const;
    ModelFile build_model_file(const Plan& plan, int map_number, int storm_event) const;
    GisFiles build_gis_files(const Plan& plan, const std::string& file_stem) const;
    std::vector<ModelListEntry> build_model_list(const Plan& plan, int storm_event) const;
    std::vector<ModelResultsGroup> build_model_results(const Plan& plan, int map_number) const;

    struct OutputFile {
        std::string name;  // without the data directory
        std::function<void(const std::string& path)> write;
    };
    std::vector<OutputFile> output_files(const Plan& plan) const;
    std::vector<OutputFile> export_files() const;
    std::filesystem::path data_directory_in(const std::filesystem::path& directory) const;
    bool omitted(std::string_view name) const;
    std::string data_directory_file_name() const;

    std::string study_id_;
    int model_type_;
    int storm_events_;
    std::deque<NodeRecord> nodes_;
    std::deque<LinkRecord> links_;
    std::deque<SubareaRecord> subareas_;
    std::vector<SubareaEntry> subarea_entries_;  // beside subareas_
    std::map<float, std::size_t> node_index_;
    std::map<std::pair<float, float>, std::size_t> link_index_;
    std::map<float, std::size_t> subarea_index_;
    std::vector<std::pair<int, float>> header_values_;
    std::array<float, STORM_EVENTS> return_frequencies_{10.0f, 25.0f, 50.0f, 100.0f, 5.0f, 2.0f};
    std::vector<std::pair<float, std::string>> seam_texts_;
    ControlParameters controls_{};
    HglControlTable hgl_controls_{};
    bool write_control_file_ = true;
    bool write_gis_exports_ = false;
    std::optional<std::string> data_directory_line_;
    std::vector<std::string> omitted_;
    std::vector<ModelFileEdit> model_file_edits_;
    std::vector<GisFilesEdit> gis_file_edits_;
    std::vector<ModelListEdit> model_list_edits_;
    std::map<int, std::vector<ModelResultsGroup>> model_results_;        // by map number
    std::map<std::pair<float, float>, StorageRouting> storage_routing_;  // type 10, by node pair
    std::map<float, CurveNumberValues> curve_numbers_;                   // type 10, by subarea
    std::deque<std::vector<TelescopedStringRecord>> strings_;            // string n at n - 1
};

// The first group of a model file with this node pair (and code, when
// given), or nullptr.
ModelGroup* find_group(ModelFile& file, float upstream_node, float downstream_node,
                       std::optional<int> process_code = std::nullopt);

}  // namespace velm::test
