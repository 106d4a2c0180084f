// The link review on the bundled sample study after a whole analysis run:
// one change of each kind, from the main menu and launched, and nothing else
// changed in the study's files.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/string_files.h"
#include "review/review_study.h"
#include "review/review_test_fixture.h"
#include "support/program_run.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::operator+;
using Lines = std::vector<std::string>;

const Lines EXECUTE_FROM_MENU = {"", "1", "", "", "2", "SA", ""};
const char* const LINK_FILES[] = {"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"};
const char* const NODE_FILES[] = {"SA2204ZZ.ZNN", "SA2301ZZ.ZNN", "SA2302ZZ.ZNN", "SA2303ZZ.ZNN"};

// Where a record stands: its file and its line (0-based).
struct Place {
    std::string file;
    std::size_t line = 0;
};

class SampleReviewTest : public test::LinkReviewTest {
protected:
    SampleReviewTest()
    {
        const fs::path sample = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";
        for (const auto& entry : fs::directory_iterator(sample)) fs::copy_file(entry.path(), entry.path().filename());
    }

    // The string files are in the long form only once the run telescopes.
    static bool strings_telescoped()
    {
        const Lines lines = read_text_lines("SA0001ZZ.ZST");
        return !lines.empty() && lines.front().size() == 1764;
    }

    static std::optional<Place> find_link(const std::function<bool(const LinkRecord&)>& wanted,
                                          const std::function<bool(const LinkRecord&)>& also = {})
    {
        for (const char* file : LINK_FILES) {
            const std::vector<LinkRecord> records = read_link_data_base(file, FilePresence::MustExist);
            for (std::size_t i = 0; i < records.size(); ++i)
                if (wanted(records[i]) && (!also || also(records[i]))) return Place{file, i};
        }
        return std::nullopt;
    }
    static LinkRecord link_at(const Place& place)
    {
        return read_link_data_base(place.file, FilePresence::MustExist).at(place.line);
    }
    static bool in_a_string(const LinkRecord& link)
    {
        for (const StringIndexRecord& s : read_string_index_file("SAINDXZZ.ZST").records)
            for (const TelescopedStringRecord& r : read_telescoped_string_file(string_file_name("SA", s.string_number)))
                if (r.upstream_node == link.upstream_node() && r.downstream_node == link.downstream_node()) return true;
        return false;
    }
};

TEST_F(SampleReviewTest, OneChangeOfEachKindFromTheMenuAndLaunched)
{
    EXPECT_EQ(test::run_program_to_stop(session_, window_, EXECUTE_FROM_MENU), "analysis run done");
    ASSERT_TRUE(strings_telescoped()) << "the analysis run left the string files in the finder's form";

    // Three different links: one with a recommended element in a string,
    // one with an element and its capacity, one with a friction slope.
    const auto sized = find_link(
        [](const LinkRecord& l) {
            return l.recommended_element_type() >= 1.0f && l.replacement_element_height() > 0.0f;
        },
        in_a_string);
    ASSERT_TRUE(sized);
    const LinkRecord sized_link = link_at(*sized);
    const auto other_than_sized = [&](const LinkRecord& l) {
        return l.upstream_node() != sized_link.upstream_node() || l.downstream_node() != sized_link.downstream_node();
    };
    const auto capacity = find_link(
        [](const LinkRecord& l) { return l.element_type() > 0 && l.computed_capacity() > 0.5f; }, other_than_sized);
    ASSERT_TRUE(capacity);
    const LinkRecord capacity_link = link_at(*capacity);
    const auto slope = find_link(
        [&](const LinkRecord& l) {
            return l.computed_friction_slope() > 0.0f && l.user_friction_slope() <= 0.0f &&
                   (l.upstream_node() != capacity_link.upstream_node() ||
                    l.downstream_node() != capacity_link.downstream_node());
        },
        other_than_sized);
    ASSERT_TRUE(slope);

    const std::map<std::string, std::string> after_run = test::file_contents(".");
    std::map<std::string, std::string> expected = after_run;
    const auto replace_line = [&](const std::string& file, std::size_t line, const std::string& text) {
        std::string& bytes = expected[file];
        std::size_t start = 0;
        for (std::size_t k = 0; k < line; ++k) start = bytes.find("\r\n", start) + 2;
        bytes.replace(start, bytes.find("\r\n", start) - start, text);
    };
    const auto nodes_of = [](const LinkRecord& l) {
        return Lines{format_fixed(l.upstream_node(), 8, 1), format_fixed(l.downstream_node(), 8, 1)};
    };

    std::vector<Lines> reviews;  // each begins with the module's option
    // A capacity override of 1 cfs.
    LinkRecord link = capacity_link;
    reviews.push_back(Lines{"1"} + nodes_of(link) + Lines{"2", "1", "E"});
    link.user_capacity() = 1.0f;
    replace_line(capacity->file, capacity->line, link_record_line(link));

    // A 3 ft replacement pipe, the cost-opinion status turned over and the
    // element type designated a pipe, all on one link.
    link = sized_link;
    const bool included = std::fabs(link.cost_opinion_status()) == 1.0f;
    reviews.push_back(Lines{"2"} + nodes_of(link) + Lines{"", "2", "1", "1", "3", "1", "0.013", "E", ""});
    reviews.push_back(Lines{"4"} + nodes_of(link) + Lines{included ? "2" : "1", "E", ""});
    reviews.push_back(Lines{"5"} + nodes_of(link) + Lines{"2", "1", "0.013", "E"});
    link.user_element_status() = 1.0f;
    link.user_element_type() = 1;
    link.user_element_height() = 3.0f;
    link.user_element_base_width() = 1.0f;
    link.user_element_side_slope() = 0.0f;
    link.user_element_friction_factor() = 0.013f;
    link.cost_opinion_status() = included ? 0.0f : 1.0f;
    link.designated_element_type() = 1.0f;
    link.designated_friction_hundredths() = 0.013f * 100.0f;
    replace_line(sized->file, sized->line, link_record_line(link));
    for (const StringIndexRecord& s : read_string_index_file("SAINDXZZ.ZST").records) {
        const std::string name = string_file_name("SA", s.string_number);
        const std::vector<TelescopedStringRecord> records = read_telescoped_string_file(name);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].upstream_node != link.upstream_node() ||
                records[i].downstream_node != link.downstream_node())
                continue;
            std::array<float, TELESCOPED_STRING_VALUES> v = records[i].values();
            v[28] = included ? -1.0f : 1.0f;  // value 29: a pipe, its sign the cost-opinion status
            v[29] = 3.0f;
            v[30] = 1.0f;
            v[31] = 0.0f;
            v[33] = 0.013f;
            if (v[36] > 0.0f)
                for (int k = 36; k <= 40; ++k) v[k] = 0.0f;  // no parallel element with a replacement
            replace_line(name, i, telescoped_string_record_line(TelescopedStringRecord::from_values(v)));
        }
    }

    // The lowest friction slope allowed.
    link = link_at(*slope);
    reviews.push_back(Lines{"3"} + nodes_of(link) + Lines{"2", "0.0001", "E"});
    link.user_friction_slope() = 0.0001f;
    replace_line(slope->file, slope->line, link_record_line(link));

    // The peak flow rates of the first node with one, each kept as shown.
    std::optional<Place> node_place;
    for (const char* file : NODE_FILES) {
        const std::vector<NodeRecord> nodes = read_node_data_base(file, FilePresence::MustExist);
        for (std::size_t i = 0; i < nodes.size() && !node_place; ++i)
            if (nodes[i].column(226) > 0.0f || nodes[i].column(232) > 0.0f) node_place = Place{file, i};
        if (node_place) break;
    }
    ASSERT_TRUE(node_place);
    NodeRecord node = read_node_data_base(node_place->file, FilePresence::MustExist).at(node_place->line);
    Lines node_review{"6", format_fixed(node.node_number(), 8, 1)};
    for (int i = 1; i <= 6; ++i) {
        const float v = node.column(231 + i) != 0.0f ? node.column(231 + i) : node.column(225 + i);
        node.column(261 + i) = v;
        node.column(267 + i) = v;
        node.column(273 + i) = v;
        if (v == 0.0f) break;
        node_review.push_back("");
    }
    reviews.push_back(node_review + Lines{"E"});
    replace_line(node_place->file, node_place->line, node_record_line(node));

    // From the main menu: the study is asked once.
    Lines typed{"", "2", ""};
    for (std::size_t k = 0; k < reviews.size(); ++k) {
        typed.push_back(reviews[k].front());
        if (k == 0) typed.push_back("SA");
        typed.insert(typed.end(), reviews[k].begin() + 1, reviews[k].end());
    }
    typed.push_back("EXIT");
    EXPECT_EQ(test::run_program_to_stop(session_, window_, typed), "run_user_interface_module: EXIT");
    EXPECT_TRUE(test::file_contents(".") == expected);
    for (const auto& [name, bytes] : test::file_contents("."))
        EXPECT_TRUE(expected.count(name) && expected.at(name) == bytes) << name;

    // Launched, one review a run, on the study as the analysis left it.
    for (const auto& [name, bytes] : after_run) test::TemporaryDirectory::put(name, bytes);
    for (const Lines& review : reviews) {
        SCOPED_TRACE(review.front());
        window_ = test::ScriptedWindow();
        test::write_command_file("SA", 0, 2, std::stoi(review.front()));
        EXPECT_EQ(test::run_program_to_stop(session_, window_, Lines(review.begin() + 1, review.end())),
                  "run_user_interface_module: done");
        EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
        fs::remove("QEVCOM2.DAT");
    }
    for (const auto& [name, bytes] : test::file_contents("."))
        EXPECT_TRUE(expected.count(name) && expected.at(name) == bytes) << name;
    EXPECT_EQ(test::file_contents(".").size(), expected.size());
}

}  // namespace
}  // namespace velm
