// The study builder and the bundled sample study.  The builder's promise is
// that the files it writes agree with one another as the analysis run's
// checks demand; StudyAudit states those demands independently of the
// builder (the cross-check of data bases against model files, the link,
// node and subarea checks, the node-set checks) and every fixture below must
// pass it.  The sample study in examples/sample must be exactly what the
// generator writes today.
#include "support/study_builder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/model_group_rewriters.h"
#include "records/study_names.h"
#include "support/temporary_directory.h"

namespace velm::test {
namespace {

namespace fs = std::filesystem;

std::string node_text(float node)
{
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(1);
    text << node;
    return text.str();
}

// ------------------------------------------------------------------ audit

// Reads a study from its files, through the system's readers, and lists
// every finding of the analysis run's checks that makes a study unusable,
// each as "<check>: <values>".  An empty list is a consistent study.
class StudyAudit {
public:
    StudyAudit(std::string study_id, int model_type) : study_(std::move(study_id)), model_type_(model_type) {}

    std::vector<std::string> run(int storm_events)
    {
        for (int event = 1; event <= storm_events; ++event) {
            const std::string list = replace_file_extension(model_list_file_name(study_), "Z1" + std::to_string(event));
            const ModelListFile models = read_model_list_file(list);
            if (!models.is_model_list()) finding("model list", list);
            if (event > 1) continue;
            for (const ModelListEntry& entry : models.entries)
                if (entry.names_map()) stems_.push_back(entry.data_file_stem());
            for (const ModelListEntry& entry : models.entries)
                cross_check(entry.data_file_stem(), entry.model_file_extension());
        }
        for (const std::string& stem : stems_) {
            link_checks(stem);
            node_checks(stem);
            subarea_checks(stem);
            read_node_data_base(stem + ".ZNN", FilePresence::MustExist);
        }
        node_set_checks();
        return findings_;
    }

private:
    struct Pair {
        float upstream, downstream;
        bool operator==(const Pair&) const = default;
    };

    void finding(const std::string& check, const std::string& values) { findings_.push_back(check + ": " + values); }
    void finding(const std::string& check, float a) { finding(check, node_text(a)); }
    void finding(const std::string& check, Pair p)
    {
        finding(check, node_text(p.upstream) + " " + node_text(p.downstream));
    }

    // The GIS file that holds the map's nodes, as the GIS update writes it.
    std::string gis_name(const std::string& stem, GisFileKind kind) const
    {
        return gis_file_name(study_, static_cast<float>(map_of(stem) * MAP_NUMBER_DIVISOR), model_type_, kind);
    }

    // The walk of the data base versus model cross-check, per map.
    void cross_check(const std::string& stem, const std::string& extension)
    {
        const ModelFile model = read_model_file(model_file_name(stem, extension));
        struct ModelSubarea {
            float number;
            Pair nodes;
        };
        std::vector<ModelSubarea> model_subareas;
        std::vector<Pair> model_links;
        for (const ModelGroup& group : model.groups) {
            const int code = group.process_code();
            const Pair nodes{group.upstream_node, group.downstream_node};
            if (code == 21 || code == 22) headwaters_.push_back(group.upstream_node);
            if (code == 151 || code == 152) seams_.push_back(group.upstream_node);
            if ((code == 1 || code == 10 || code == 11) && previous_code_ != 1)
                confluence_pairs_.push_back(last_reach_);
            if (nodes.upstream != nodes.downstream) last_reach_ = nodes;
            previous_code_ = code;
            const bool nothing = code == 0 || code == 1 || code == 7 || code == 71 || code == 72 ||
                                 (code >= 10 && code <= 16) || code == 151 || code == 152;
            if (nothing) continue;
            const GroupLayout layout = model.layout_of(group);
            bool subarea_read = layout.packed_subarea_position > 0;
            if (code >= 52 && code <= 56) subarea_read = false;
            if (code >= 61 && code <= 63 && (model_type_ == 6 || model_type_ == 9)) subarea_read = false;
            if ((code == 9 || code == 91 || code == 92) && model_type_ == 6) subarea_read = false;
            float number = 0.0f;
            if (subarea_read) {
                const float packed = group.values.at(static_cast<std::size_t>(layout.packed_subarea_position - 1));
                if (packed_subarea_code(packed) != 0) number = packed_subarea_number(packed);
                if (number < 10000.0f) number = 0.0f;
            }
            const bool addition = code == 81 || code == 82;
            if (number != 0.0f)
                model_subareas.push_back({number, addition ? Pair{last_link_.downstream, last_link_.upstream}
                                                           : Pair{nodes.downstream, nodes.upstream}});
            if (!addition) {
                model_links.push_back(nodes);
                last_link_ = nodes;
            }
        }
        std::vector<float> base_subareas;
        for (const SubareaRecord& s : read_subarea_data_base(stem + ".ZSS", FilePresence::MustExist))
            base_subareas.push_back(s.subarea_number());
        std::vector<Pair> base_links;
        for (const LinkRecord& l : read_link_data_base(link_file(stem), FilePresence::MustExist))
            if (file_map_of(l) == map_of(stem)) base_links.push_back({l.upstream_node(), l.downstream_node()});

        for (std::size_t i = 0; i < model_subareas.size(); ++i)
            for (std::size_t j = 0; j < model_subareas.size(); ++j)
                if (i != j && model_subareas[i].number == model_subareas[j].number)
                    finding("subarea used more than once", model_subareas[i].number);
        for (float s : base_subareas)
            if (std::none_of(model_subareas.begin(), model_subareas.end(),
                             [&](const ModelSubarea& m) { return m.number == s; }))
                finding("subarea not used in the model", s);
        for (const ModelSubarea& m : model_subareas) {
            if (std::find(base_subareas.begin(), base_subareas.end(), m.number) == base_subareas.end())
                finding("subarea not in the data base", m.number);
            if (m.number != m.nodes.upstream && m.number != m.nodes.downstream)
                finding("subarea not added at its node", m.number);
        }
        for (std::size_t i = 0; i < model_links.size(); ++i)
            for (std::size_t j = 0; j < model_links.size(); ++j)
                if (i != j && model_links[i] == model_links[j]) finding("link used more than once", model_links[i]);
        for (const Pair& l : base_links)
            if (std::find(model_links.begin(), model_links.end(), l) == model_links.end())
                finding("link not used in the model", l);
        for (const Pair& l : model_links)
            if (l.upstream != l.downstream && std::find(base_links.begin(), base_links.end(), l) == base_links.end())
                finding("link not in the data base", l);
    }

    int map_of(const std::string& stem) const { return std::stoi(stem.substr(2, 4)); }
    // The map whose files hold a link: its region for model type 9.
    int file_map_of(const LinkRecord& l) const
    {
        return model_type_ == 9 ? region_map_number(l.map_number()) : l.map_number();
    }
    std::string link_file(const std::string& stem) const
    {
        const int map = map_of(stem);
        return link_data_base_name(study_, model_type_ == 9 ? region_map_number(map) : map);
    }

    // The fatal link checks, the confluence table and sets E and F, per map.
    void link_checks(const std::string& stem)
    {
        std::vector<LinkRecord> links;
        for (const LinkRecord& l : read_link_data_base(link_file(stem), FilePresence::MustExist))
            if (file_map_of(l) == map_of(stem)) links.push_back(l);
        std::set<float> gis_nodes;
        for (const GisNodeRecord& n : read_gis_node_file(gis_name(stem, GisFileKind::Node), FilePresence::MustExist))
            gis_nodes.insert(n.node_number());
        std::vector<Pair> confluence;
        for (std::size_t i = 0; i < links.size(); ++i) {
            const LinkRecord& l = links[i];
            const Pair p{l.upstream_node(), l.downstream_node()};
            if (p.downstream <= p.upstream) finding("reversed link", p);
            if (l.link_length() < 0.001f) finding("link length", p);
            for (float node : {p.upstream, p.downstream}) {
                if (node < 10000.0f || node > 999999.9f) finding("node number range", node);
                if (!gis_nodes.count(node)) finding("node missing from the GIS node file", node);
            }
            const float slope = (l.upstream_elevation() - l.downstream_elevation()) / l.link_length();
            if (slope <= 0.002f || slope > 0.100f) finding("topographic slope", p);
            bool upstream_shared = false, has_next = false, has_previous = false;
            std::vector<float> entering{p.upstream};
            for (std::size_t j = 0; j < links.size(); ++j) {
                if (j == i) continue;
                upstream_shared |= links[j].upstream_node() == p.upstream;
                has_next |= links[j].upstream_node() == p.downstream;
                has_previous |= links[j].downstream_node() == p.upstream;
                if (links[j].downstream_node() == p.downstream) entering.push_back(links[j].upstream_node());
            }
            if (upstream_shared) finding("upstream node not unique", p);
            if (!has_next) set_e_.push_back(p.downstream);
            if (!has_previous) set_f_.push_back(p.upstream);
            if (entering.size() >= 2)
                for (float u : entering)
                    if (std::find(confluence.begin(), confluence.end(), Pair{u, p.downstream}) == confluence.end())
                        confluence.push_back({u, p.downstream});
        }
        for (std::size_t i = 0; i < confluence.size();) {
            std::vector<float> row{confluence[i].downstream};
            std::size_t j = i;
            for (; j < confluence.size() && confluence[j].downstream == confluence[i].downstream; ++j)
                row.push_back(confluence[j].upstream);
            if (row.size() > 6) finding("more than five tributary links", row.front());
            if (row.size() > 2) confluence_table_.push_back(row);
            i = j;
        }
    }

    void node_checks(const std::string& stem)
    {
        const std::vector<GisNodeRecord> nodes =
            read_gis_node_file(gis_name(stem, GisFileKind::Node), FilePresence::MustExist);
        const std::vector<GisLinkRecord> links =
            read_gis_link_file(gis_name(stem, GisFileKind::Link), FilePresence::MustExist);
        read_gis_subarea_file(gis_name(stem, GisFileKind::Subarea), FilePresence::MustExist);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const float number = nodes[i].node_number();
            for (std::size_t j = i + 1; j < nodes.size(); ++j)
                if (nodes[j].node_number() == number) finding("GIS node not unique", number);
            if (nodes[i].node_elevation() < -2000.0f || nodes[i].node_elevation() > 25000.0f)
                finding("GIS node elevation", number);
            if (std::none_of(links.begin(), links.end(), [&](const GisLinkRecord& l) {
                    return l.upstream_node() == number || l.downstream_node() == number;
                }))
                finding("GIS node not used in the link file", number);
        }
    }

    void subarea_checks(const std::string& stem)
    {
        const std::vector<SubareaRecord> subareas = read_subarea_data_base(stem + ".ZSS", FilePresence::MustExist);
        for (std::size_t i = 0; i < subareas.size(); ++i) {
            const SubareaRecord& s = subareas[i];
            const float number = s.subarea_number();
            if (number <= 10000.0f || number > 999999.0f) finding("subarea number range", number);
            for (std::size_t j = 0; j < subareas.size(); ++j)
                if (j != i && subareas[j].subarea_number() == number) finding("subarea not unique", number);
            if (model_type_ == 6 && (s.column(3) < 1.0f || s.column(3) > 5.0f) &&
                (s.column(11) < 1.0f || s.column(11) > 50.0f))
                finding("subarea rainfall", number);
            for (int k = 1; k <= LAND_USE_CELLS; ++k) {
                if (s.cell_land_use(k) == 0.0f && s.cell_soil(k) == 0.0f) continue;
                if (model_type_ == 6 && (s.cell_land_use(k) <= 0.0f || s.cell_land_use(k) >= 25.0f))
                    finding("land use", number);
                if (model_type_ == 6 && (s.cell_soil(k) < 2.0f || s.cell_soil(k) > 172.0f)) finding("soil", number);
                if (s.cell_area(k) < 0.01f || s.cell_area(k) > 1000.0f) finding("subarea cell area", number);
            }
        }
    }

    // Headwaters must start an initial subarea, seams must be seams of the
    // model files, and every confluence of the data bases one of the models.
    void node_set_checks()
    {
        std::vector<float> x;
        for (float e : set_e_)
            for (float f : set_f_)
                if (e == f) x.push_back(e);
        for (float f : set_f_)
            if (std::find(x.begin(), x.end(), f) == x.end() &&
                std::find(headwaters_.begin(), headwaters_.end(), f) == headwaters_.end())
                finding("headwater without an initial subarea", f);
        for (float s : x)
            if (std::find(seams_.begin(), seams_.end(), s) == seams_.end()) finding("seam not in the model files", s);
        std::map<float, std::vector<float>> network;  // first row of each downstream node
        for (const Pair& p : confluence_pairs_) {
            auto& row = network[p.downstream];
            if (row.empty() || row.back() != p.upstream) row.push_back(p.upstream);
        }
        for (const std::vector<float>& row : confluence_table_) {
            const auto found = network.find(row.front());
            if (found == network.end()) {
                finding("confluence not in the network", row.front());
                continue;
            }
            for (std::size_t k = 1; k < row.size(); ++k)
                if (std::find(found->second.begin(), found->second.end(), row[k]) == found->second.end()) {
                    finding("confluence does not match the network", row.front());
                    break;
                }
        }
    }

    std::string study_;
    int model_type_;
    std::vector<std::string> stems_;
    std::vector<std::string> findings_;
    std::vector<float> headwaters_, seams_, set_e_, set_f_;
    std::vector<Pair> confluence_pairs_;
    std::vector<std::vector<float>> confluence_table_;
    Pair last_reach_{0.0f, 0.0f}, last_link_{0.0f, 0.0f};
    int previous_code_ = 0;
};

std::vector<std::string> audit(const StudyBuilder& study)
{
    study.write(fs::current_path());
    return StudyAudit(study.study_id(), study.model_type()).run(study.storm_events());
}

// ------------------------------------------------------------------ fixtures

// Two initial subareas meeting at a confluence, then one pipe: map 101.
StudyBuilder small_confluence(int model_type = 6)
{
    StudyBuilder study("AB", model_type, 2);
    study.add_node(10101.0f, 120.0f);
    study.add_node(10102.0f, 116.0f);
    study.add_node(10103.0f, 110.0f, {12.5f, 18.0f});
    study.add_node(10104.0f, 104.0f, {20.0f, 27.5f});
    study.add_initial_link(10101.0f, 10103.0f, 400.0f);
    study.add_initial_link(10102.0f, 10103.0f, 300.0f);
    study.add_link(10103.0f, 10104.0f, 500.0f, Element::pipe(1.5f));
    study.add_subarea(10101.0f, 5.0f);
    study.add_subarea(10102.0f, 3.0f);
    study.add_subarea(10104.0f, 2.0f);
    return study;
}

// One stream across three maps: map 101 drains into 102, 102 into 203 of
// the next region, with a channel, a street and a box on the way.
StudyBuilder three_maps(int model_type)
{
    StudyBuilder study("CD", model_type, 1);
    study.add_node(10101.0f, 150.0f);
    study.add_node(10102.0f, 140.0f, {10.0f});
    study.add_node(10203.0f, 130.0f, {14.0f});
    study.add_node(10204.0f, 120.0f, {15.0f});
    study.add_node(20305.0f, 100.0f, {22.0f});
    study.add_node(20306.0f, 95.0f, {23.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10203.0f, 600.0f, Element::none(), StreetSection{});
    study.add_link(10203.0f, 10204.0f, 700.0f, Element::channel(3.0f, 4.0f, 2.0f, 0.03f, 0.5f));
    study.add_link(10204.0f, 20305.0f, 800.0f, Element::box(4.0f, 5.0f));
    study.add_link(20305.0f, 20306.0f, 400.0f, Element::pipe(2.0f), StreetSection{});
    study.add_subarea(10101.0f, 4.0f);
    study.add_subarea(10203.0f, 6.0f);
    study.add_subarea(10204.0f, 5.5f, SubareaEntry::AlongLink);
    study.add_subarea(20305.0f, 7.0f);
    study.add_subarea(20306.0f, 2.5f, SubareaEntry::AlongLink);
    return study;
}

struct CodeAndNodes {
    int code;
    float upstream, downstream;
    bool operator==(const CodeAndNodes&) const = default;
};

std::vector<CodeAndNodes> groups_of(const ModelFile& file)
{
    std::vector<CodeAndNodes> groups;
    for (const ModelGroup& g : file.groups) groups.push_back({g.process_code(), g.upstream_node, g.downstream_node});
    return groups;
}

void PrintTo(const CodeAndNodes& g, std::ostream* out)
{
    *out << g.code << " " << g.upstream << "-" << g.downstream;
}

// ------------------------------------------------------------------ tests

TEST(StudyBuilder, FixturesPassEveryConsistencyCheckOfTheAnalysisRun)
{
    struct Case {
        const char* name;
        StudyBuilder study;
    };
    const Case cases[] = {
        {"confluence, type 6", small_confluence(6)},
        {"confluence, type 3", small_confluence(3)},
        {"three maps, type 6", three_maps(6)},
        {"three maps, type 8 (compact header, extension values)", three_maps(8)},
        {"three maps, type 9 (link data bases per region)", three_maps(9)},
        {"three maps, type 5", three_maps(5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        EXPECT_EQ(audit(c.study), std::vector<std::string>{});
    }
}

TEST(StudyBuilder, SeededFaultsShowInTheChecks)
{
    struct Case {
        const char* name;
        std::function<void(StudyBuilder&)> seed;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a duplicate link group",
         [](StudyBuilder& s) {
             s.edit_model_files([](int, int, ModelFile& f) { f.groups.push_back(*find_group(f, 10103.0f, 10104.0f)); });
         },
         "link used more than once: 10103.0 10104.0"},
        {"a dropped subarea group",
         [](StudyBuilder& s) {
             s.edit_model_files([](int, int, ModelFile& f) {
                 std::erase_if(f.groups, [](const ModelGroup& g) { return g.process_code() == 81; });
             });
         },
         "subarea not used in the model: 10104.0"},
        {"a subarea added at a foreign node",
         [](StudyBuilder& s) {
             s.edit_model_files([](int, int, ModelFile& f) {
                 for (ModelGroup& g : f.groups)
                     if (g.process_code() == 81) g.values[0] = 1.010199f;
             });
         },
         "subarea not in the data base: 10199.0"},
        {"a node missing from the GIS node file",
         [](StudyBuilder& s) { s.edit_gis_files([](const std::string&, GisFiles& f) { f.nodes.pop_back(); }); },
         "node missing from the GIS node file: 10104.0"},
        {"a link of no length", [](StudyBuilder& s) { s.link(10103.0f, 10104.0f).link_length() = 0.0005f; },
         "link length: 10103.0 10104.0"},
        {"a link group missing from the model file",
         [](StudyBuilder& s) {
             s.edit_model_files([](int, int, ModelFile& f) {
                 std::erase_if(f.groups, [](const ModelGroup& g) { return g.process_code() == 41; });
             });
         },
         "link not used in the model: 10103.0 10104.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        StudyBuilder study = small_confluence();
        c.seed(study);
        const std::vector<std::string> findings = audit(study);
        EXPECT_NE(std::find(findings.begin(), findings.end(), c.expected), findings.end())
            << ::testing::PrintToString(findings);
    }
}

TEST(StudyBuilder, ModelFileWalksEachStreamBeforeItsConfluence)
{
    const ModelFile file = small_confluence().model_file(101, 1);
    const std::vector<CodeAndNodes> expected = {
        {22, 10101.0f, 10103.0f}, {1, 10103.0f, 10103.0f},  {22, 10102.0f, 10103.0f},
        {1, 10103.0f, 10103.0f},  {41, 10103.0f, 10104.0f}, {81, 10104.0f, 10104.0f},
    };
    EXPECT_EQ(groups_of(file), expected);
    EXPECT_EQ(file.groups[1].values, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(file.groups[3].values, (std::vector<float>{2.0f, 2.0f}));
}

// An initial subarea's group: in model type 6 a code-22 group holding the
// subarea's time of concentration of the storm event, the downstream
// elevation, the flow-path length packed with the rainfall digit and the
// headwater elevation / 10000 in cell 1's soil; elsewhere a code-21 group
// holding the two elevations and the length.
TEST(StudyBuilder, InitialSubareaGroupByModelType)
{
    struct Case {
        int model_type;
        float rainfall;  // subarea column 94
        float length;    // ft
        float code;
        std::array<float, 3> head;  // values 1 to 3 in storm event 2
        float cell_1_soil;
    };
    const Case cases[] = {
        {6, 3.0f, 500.0f, 22.0f, {9.0f, 110.0f, 50000.3f}, 2.0f + 120.0f / 10000.0f},
        {6, 2.0f, 12000.0f, 22.0f, {9.0f, 110.0f, 900000.2f}, 2.0f + 120.0f / 10000.0f},
        {6, 0.0f, 500.0f, 22.0f, {9.0f, 110.0f, 50000.3f}, 2.0f + 120.0f / 10000.0f},
        {3, 3.0f, 500.0f, 21.0f, {120.0f, 110.0f, 500.0f}, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.model_type) + " " + std::to_string(c.rainfall) + " " + std::to_string(c.length));
        StudyBuilder study("AB", c.model_type, 2);
        study.add_node(10101.0f, 120.0f);
        study.add_node(10102.0f, 110.0f);
        study.add_initial_link(10101.0f, 10102.0f, c.length);
        SubareaRecord& subarea = study.add_subarea(10101.0f, 4.0f, SubareaEntry::Automatic, 1.0f, 2.0f);
        subarea.time_of_concentration(1) = 12.0f;  // min
        subarea.time_of_concentration(2) = 9.0f;
        subarea.column(94) = c.rainfall;
        const ModelFile file = study.model_file(101, 2);
        ASSERT_EQ(file.groups.size(), 1u);
        const ModelGroup& group = file.groups[0];
        EXPECT_EQ(group.code_value, c.code);
        EXPECT_EQ((std::array<float, 3>{group.values[0], group.values[1], group.values[2]}), c.head);
        EXPECT_EQ(group_land_use_table(group, file.layout_of(group)).cell(1).soil_code, c.cell_1_soil);
    }
}

TEST(StudyBuilder, SeamsLeaveAndEnterMapsByTheirModelFiles)
{
    const StudyBuilder study = three_maps(6);
    EXPECT_EQ(study.map_numbers(), (std::vector<int>{101, 102, 203}));
    const std::vector<CodeAndNodes> map_101 = {{22, 10101.0f, 10102.0f}, {151, 10102.0f, 10102.0f}};
    const std::vector<CodeAndNodes> map_102 = {{152, 10102.0f, 10102.0f},
                                               {61, 10102.0f, 10203.0f},
                                               {81, 10203.0f, 10203.0f},
                                               {51, 10203.0f, 10204.0f},
                                               {151, 10204.0f, 10204.0f}};
    const std::vector<CodeAndNodes> map_203 = {
        {152, 10204.0f, 10204.0f}, {46, 10204.0f, 20305.0f}, {81, 20305.0f, 20305.0f}, {43, 20305.0f, 20306.0f}};
    EXPECT_EQ(groups_of(study.model_file(101, 1)), map_101);
    EXPECT_EQ(groups_of(study.model_file(102, 1)), map_102);
    EXPECT_EQ(groups_of(study.model_file(203, 1)), map_203);

    const ModelFile leaving = study.model_file(101, 1);
    EXPECT_EQ(leaving.groups[1].values, std::vector<float>{102.0f});
    EXPECT_EQ(*leaving.groups[1].text, "CD0102ZZ.Z11" + std::string(38, ' '));
    EXPECT_EQ(*study.model_file(203, 1).groups[0].text, "CD0102ZZ.Z11" + std::string(38, ' '));
}

TEST(StudyBuilder, GroupValuesCarryElementsInTheModelFileUnits)
{
    StudyBuilder study = three_maps(6);
    study.subarea(10204.0f).cell_third_value(1) = 2.0f;
    study.subarea(10204.0f).cell_land_use(2) = 3.0f;  // a cell too small to be in use
    study.subarea(10204.0f).cell_soil(2) = 4.0f;
    study.subarea(10204.0f).cell_area(2) = 0.004f;
    const ModelFile map_102 = study.model_file(102, 1);
    const ModelFile map_203 = study.model_file(203, 1);
    const std::vector<float>& street = map_102.groups[1].values;   // code 61
    const std::vector<float>& channel = map_102.groups[3].values;  // code 51
    const std::vector<float>& box = map_203.groups[1].values;      // code 46
    const std::vector<float>& pipe = map_203.groups[3].values;     // code 43

    // Elevations and length lead every reach.
    EXPECT_EQ(std::vector<float>(channel.begin(), channel.begin() + 3), (std::vector<float>{130.0f, 120.0f, 700.0f}));
    // Channel: n, base width, side slope, depth with its freeboard.
    EXPECT_EQ(std::vector<float>(channel.begin() + 3, channel.begin() + 7),
              (std::vector<float>{0.03f, 4.0f, 2.0f, 3.5f}));
    // Box: n, base width, height (ft); pipe: n, diameter (in), pipes.
    EXPECT_EQ(std::vector<float>(box.begin() + 3, box.end()), (std::vector<float>{0.015f, 5.0f, 4.0f}));
    EXPECT_EQ(std::vector<float>(pipe.begin() + 3, pipe.begin() + 6), (std::vector<float>{0.013f, 24.0f, 1.0f}));
    // Street of code 61: curb in whole inches, half width, crown distance,
    // centre crossfall, parkway x 1000 + outside, sides.
    const StreetSection s{};
    EXPECT_EQ(std::vector<float>(street.begin() + 22, street.begin() + 28),
              (std::vector<float>{8.0f, s.half_width, s.crown_to_gradebreak, s.center_lane_crossfall, 20.02f, 2.0f}));
    // Code 43 names its street by its section in the header table.
    EXPECT_EQ(pipe[6], 1.0f);
    EXPECT_EQ(map_203.header.street_section_count(), 1);
    EXPECT_EQ(map_203.header.street_section(1),
              (std::array<float, 9>{s.half_width, s.crown_to_gradebreak, s.center_lane_crossfall, 20.02f, s.curb_height,
                                    s.gutter_width, s.gutter_lip, s.gutter_hike, s.friction}));
    // Subarea part of the channel: one cell in use, land use coded as the
    // GIS files code it in model type 6 (land use + 100 + third value).
    EXPECT_EQ(packed_subarea_code(channel[7]), 1);
    EXPECT_EQ(packed_subarea_number(channel[7]), 10204.0f);
    EXPECT_EQ(std::vector<float>(channel.begin() + 8, channel.begin() + 14),
              (std::vector<float>{103.0f, 2.0f, 5.5f, 0.0f, 0.0f, 0.0f}));
}

TEST(StudyBuilder, HeaderFollowsTheModelTypeAndTheStormEvent)
{
    struct Case {
        int model_type;
        int length;
        int extension_switch;
    };
    for (const Case c :
         {Case{6, FULL_HEADER_VALUES, 1}, Case{8, COMPACT_HEADER_VALUES, 2}, Case{3, FULL_HEADER_VALUES, 1}}) {
        SCOPED_TRACE(c.model_type);
        StudyBuilder study = small_confluence(c.model_type);
        study.set_storm_return_frequency(2, 50.0f);
        const ModelFile event_2 = study.model_file(101, 2);
        EXPECT_EQ(event_2.header.length(), c.length);
        EXPECT_EQ(event_2.header.model_type(), c.model_type);
        EXPECT_EQ(event_2.header.subarea_extension_switch(), c.extension_switch);
        EXPECT_EQ(event_2.header.storm_return_frequency(), 50.0f);
        EXPECT_EQ(study.model_file(101, 1).header.storm_return_frequency(), 10.0f);
        EXPECT_EQ(event_2.header.gis_update_option(), 9);
    }
}

TEST(StudyBuilder, LinksTakeElevationsSlopeAndFlowsFromTheirNodes)
{
    StudyBuilder study = small_confluence();
    const LinkRecord& pipe = study.link(10103.0f, 10104.0f);
    EXPECT_EQ(pipe.upstream_elevation(), 110.0f);
    EXPECT_EQ(pipe.downstream_elevation(), 104.0f);
    EXPECT_EQ(pipe.link_slope(), 6.0f / 500.0f);
    EXPECT_EQ(pipe.process_code(), 41);
    EXPECT_EQ(pipe.upstream_peak_flow(2), 18.0f);
    EXPECT_EQ(pipe.downstream_peak_flow(1), 20.0f);
    EXPECT_EQ(pipe.downstream_peak_flow(3), 0.0f);
    EXPECT_EQ(pipe.user_capacity(), NO_USER_CAPACITY);
    EXPECT_EQ(study.link(10101.0f, 10103.0f).process_code(), 21);
}

TEST(StudyBuilder, RegionGisFilesAppendUpstreamNodesOfOtherRegions)
{
    const StudyBuilder study = three_maps(6);
    EXPECT_EQ(study.gis_file_stems(), (std::vector<std::string>{"CD0100ZZ", "CD0200ZZ"}));
    const GisFiles region_2 = study.gis_files("CD0200ZZ");
    std::vector<float> nodes;
    for (const GisNodeRecord& n : region_2.nodes) nodes.push_back(n.node_number());
    EXPECT_EQ(nodes, (std::vector<float>{20305.0f, 20306.0f, 10204.0f}));
    EXPECT_EQ(region_2.nodes.back().node_elevation(), 120.0f);
    ASSERT_EQ(region_2.links.size(), 2u);
    EXPECT_GT(region_2.links[0].element_height(), 0.0f);
    EXPECT_EQ(region_2.links[0].element_type(), 0) << "as the GIS export sort writes a link without a street";
    EXPECT_EQ(region_2.subareas.size(), 2u);

    StudyBuilder per_map = three_maps(5);
    EXPECT_EQ(per_map.gis_file_stems(), (std::vector<std::string>{"CD0101ZZ", "CD0102ZZ", "CD0203ZZ"}));
}

TEST(StudyBuilder, WritesEveryFileAndLeavesOutWhatTheTestOmits)
{
    TemporaryDirectory directory;
    StudyBuilder study = small_confluence();
    study.omit_file("ab0101zz.zss");
    study.omit_control_file();
    const std::vector<std::string> expected = {"ABTRVLZZ.Z11", "ABTRVLZZ.Z12", "AB0101ZZ.ZLL", "AB0101ZZ.ZNN",
                                               "AB0101ZZ.Z11", "AB0101ZZ.Z12", "AB0101ZZ.ZZZ", "AB0100ZZ.ZZN",
                                               "AB0100ZZ.ZZL", "AB0100ZZ.ZZS"};
    EXPECT_EQ(study.file_names(), expected);
    study.write(directory.path());
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(TemporaryDirectory::entries(), sorted);

    const ModelListFile list = read_model_list_file("ABTRVLZZ.Z12");
    ASSERT_TRUE(list.is_model_list());
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].model_file_name(), "AB0101ZZ.Z12");
}

TEST(StudyBuilder, DataDirectoryFileSendsTheStudyFilesWhereItPoints)
{
    TemporaryDirectory directory;
    StudyBuilder study = small_confluence();
    study.set_data_directory("Data\\AB\\ABSTUDY.TXT");
    study.write(directory.path());
    EXPECT_EQ(TemporaryDirectory::get("ABMPDZZ.ZZZ"), "Data\\AB\\ABSTUDY.TXT\r\n");
    DataDirectoryCache cache;
    const std::string control = add_data_directory(cache, control_file_name("AB"));
    EXPECT_TRUE(file_exists(control)) << control;
    for (const std::string& name : study.file_names()) {
        if (name == "ABMPDZZ.ZZZ") continue;
        EXPECT_TRUE(fs::exists("Data/AB/" + name)) << name;
    }
    const std::vector<std::string> control_lines = read_text_lines(control);
    EXPECT_EQ(control_lines, control_file_lines(control, ControlParameters{}, HglControlTable{}));
}

TEST(StudyBuilder, FixtureMistakesAreRefusedAtOnce)
{
    StudyBuilder study = small_confluence();
    EXPECT_THROW(study.add_link(10104.0f, 10199.0f, 100.0f, Element::pipe(1.0f)), std::out_of_range);
    EXPECT_THROW(study.add_node(10101.0f, 1.0f), std::logic_error);
    EXPECT_THROW(study.add_node(10105.0f, 1.0f, {1.0f, 2.0f, 3.0f}), std::logic_error);
    EXPECT_THROW(study.add_link(10104.0f, 10103.0f, 100.0f, Element::box(2.0f, 2.0f), StreetSection{}),
                 std::logic_error);
    study.add_subarea(10103.0f, 1.0f, SubareaEntry::AlongLink);  // only initial links end there
    EXPECT_THROW(study.model_file(101, 1), std::logic_error);
    EXPECT_THROW(StudyBuilder("ABC"), std::invalid_argument);
    EXPECT_THROW(StudyBuilder("AB", 11), std::invalid_argument);
}

TEST(StudyBuilder, CurveNumberStudyWritesItsSubareaAndStorageGroups)
{
    TemporaryDirectory dir;
    StudyBuilder study("AB", 10, 2);
    study.add_node(10101.0f, 150.0f);
    study.add_node(10102.0f, 140.0f, {10.0f, 12.0f});
    study.add_node(10103.0f, 130.0f, {12.0f, 14.0f});
    study.add_node(10104.0f, 120.0f, {12.0f, 14.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10103.0f, 400.0f, Element::pipe(2.0f));
    StorageRouting routing;
    routing.sets = {{100.0f, 0.0f, 0.0f}, {101.0f, 2.0f, 4.0f}, {103.0f, 6.0f, 9.0f}};
    study.add_storage_element(10103.0f, 10104.0f, 50.0f, routing);
    study.add_subarea(10101.0f, 64.0f);
    study.set_curve_number_values(10101.0f, {0.2f, 80.0f, 0.3f, 0.75f});
    study.write(dir.path());

    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile file = read_model_file(name);
        EXPECT_EQ(file.model_type(), 10);
        ModelFile copy = file;
        const ModelGroup* subarea = find_group(copy, 10101.0f, 10102.0f, 21);
        ASSERT_NE(subarea, nullptr);
        ASSERT_EQ(subarea->values.size(), 88u);
        EXPECT_EQ(subarea->values[0], 0.1f);  // 64 acres in square miles
        EXPECT_EQ(subarea->values[25], 0.75f);
        EXPECT_EQ(subarea->values[27], 0.2f);
        EXPECT_EQ(subarea->values[28], 80.0f);
        EXPECT_EQ(subarea->values[29], 0.3f);
        EXPECT_EQ(subarea->values[32], 10101.0f);
        const ModelGroup* storage = find_group(copy, 10103.0f, 10104.0f, 61);
        ASSERT_NE(storage, nullptr);
        ASSERT_EQ(storage->values.size(), 77u);
        EXPECT_EQ(storage->values[7 + 3], 3.0f) << "set count";
        EXPECT_EQ(storage->values[7 + 44 + 2], 9.0f) << "discharge of set 3";
        EXPECT_EQ(storage->values[7 + 64], 1.0f) << "outflow option";
        const ModelGroup* pipe = find_group(copy, 10102.0f, 10103.0f, 41);
        ASSERT_NE(pipe, nullptr);
        EXPECT_EQ(pipe->values.size(), 6u) << "read up to the next marker";
    }
}

TEST(TemporaryDirectory, EntersAFreshDirectoryAndRestoresTheWorkingDirectory)
{
    const fs::path before = fs::current_path();
    fs::path made;
    {
        TemporaryDirectory directory;
        made = directory.path();
        EXPECT_EQ(fs::current_path(), made);
        EXPECT_TRUE(TemporaryDirectory::entries().empty());
        TemporaryDirectory::put("a/b.txt", "x");
    }
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(fs::exists(made));
}

// ------------------------------------------------------------------ sample

const fs::path SAMPLE_DIRECTORY = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";

TEST(SampleStudy, CommittedFilesAreWhatTheGeneratorWrites)
{
    TemporaryDirectory directory;
    const fs::path generator = fs::path(VELM_BINARY_DIR) / "tests" / "make_sample_study";
    const std::string command = "\"" + generator.string() + "\" \"" + (directory.path() / "sample").string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<std::string> committed;
    for (const auto& entry : fs::directory_iterator(SAMPLE_DIRECTORY))
        if (entry.path().filename().string()[0] != '.') committed.push_back(entry.path().filename().string());
    std::sort(committed.begin(), committed.end());
    EXPECT_EQ(TemporaryDirectory::entries("sample"), committed);
    for (const std::string& name : committed)
        EXPECT_TRUE(TemporaryDirectory::get(directory.path() / "sample" / name) ==
                    TemporaryDirectory::get(SAMPLE_DIRECTORY / name))
            << name << " differs from the generator's: run make_sample_study examples/sample";
}

TEST(SampleStudy, IsARealNetworkThatPassesEveryCheck)
{
    TemporaryDirectory directory;
    fs::copy(SAMPLE_DIRECTORY, directory.path(), fs::copy_options::recursive);
    EXPECT_EQ(StudyAudit("SA", 6).run(2), std::vector<std::string>{});

    // Four maps, two storm events, forty links and more of every kind.
    const ModelListFile list = read_model_list_file("SATRVLZZ.Z11");
    ASSERT_EQ(list.entries.size(), 4u);
    std::map<int, int> codes;
    int links = 0, confluences = 0, seams = 0, falling = 0;
    for (const ModelListEntry& entry : list.entries) {
        for (const LinkRecord& l : read_link_data_base(entry.data_file_stem() + ".ZLL", FilePresence::MustExist)) {
            ++links;
            ++codes[l.process_code()];
            falling += l.upstream_elevation() > l.downstream_elevation();
            EXPECT_GT(l.downstream_peak_flow(2), l.downstream_peak_flow(1));
        }
        for (const ModelGroup& g : read_model_file(entry.model_file_name()).groups) {
            confluences += g.process_code() == 1;
            seams += g.process_code() == 151;
        }
        EXPECT_TRUE(file_exists(model_file_name(entry.data_file_stem(), "Z12")));
    }
    EXPECT_GE(links, 40);
    EXPECT_EQ(falling, links);
    for (int code : {21, 41, 43, 46, 51, 61}) EXPECT_GT(codes[code], 0) << code;
    EXPECT_GT(confluences, 10);
    EXPECT_EQ(seams, 3);
    EXPECT_TRUE(file_exists("SAcontzz.zzz"));
}

}  // namespace
}  // namespace velm::test
