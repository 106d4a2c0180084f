// Model type 8 keeps a fraction in cell 1's land use: the GIS update writes
// the whole part of the GIS record's land use and the fraction the model file
// held, so an update with the exports the study was made from changes
// nothing, the first time or any later time.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "gis/gis_group_updates.h"
#include "gis/gis_study.h"
#include "records/model_file.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

TEST(Type8LandUse, WholePartOfTheGisLandUseWithTheFractionRead)
{
    struct Case {
        float read;      // cell 1's land use in the model file
        float gis;       // in the GIS subarea record
        float expected;  // written back
    };
    const Case cases[] = {
        {5.25f, 7.0f, 7.25f},  // a whole GIS value takes the fraction read
        {6.5f, 6.5f, 6.5f},    // the GIS record copied from the data base: as it was
        {6.5f, 7.25f, 7.5f},   // the GIS record's own fraction gives way to the file's
        {6.0f, 6.5f, 6.0f},    // a file without a fraction keeps none
    };
    constexpr float SUBAREA = 12345.0f;
    const float packed = 1.0f + SUBAREA / 1000000.0f;  // one cell of subarea 12345
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.read) + " read, " + std::to_string(c.gis) + " in the GIS record");
        GisPassState state;
        state.model_type = 8;
        state.option.digit = 2;
        state.subarea_extension_switch = 2;
        GisSubareaRecord record;
        record.subarea_number() = SUBAREA;
        record.cell_land_use(1) = c.gis;
        record.cell_soil(1) = 2.0f;
        record.cell_area(1) = 4.0f;
        GisLookups lookups({record}, {}, {});
        AreaWeightedSums sums;
        GisGroupContext context{state, lookups, sums};
        std::vector<float> values{100.0f, 90.0f, 500.0f, packed, c.read, 1.0f, 1.0f};
        values.resize(22 + 6, 0.0f);
        ModelGroup group{123401.0f, 123402.0f, 21.0f, values, {}};
        const GroupLayout layout = *group_layout(21.0f, state.model_type, state.subarea_extension_switch);
        ASSERT_EQ(group.values.size(), static_cast<std::size_t>(layout.data_count));
        apply_gis_to_code21_group(group, layout, context);
        EXPECT_EQ(group.values[4], c.expected);
    }
}

class Type8GisUpdateTest : public test::SessionTest {
protected:
    void update()
    {
        window_ = test::ScriptedWindow();
        EXPECT_EQ(test::run_program_to_stop(session_, window_, {"", "7", "", "AB", ""}), "GIS update done")
            << window_.transcript();
    }
    static Files model_files()
    {
        Files files;
        for (const std::string& name : TemporaryDirectory::entries()) {
            if (name.size() == 12 && std::isdigit(static_cast<unsigned char>(name[2])) && name.substr(6, 5) == "ZZ.Z1")
                files[name] = TemporaryDirectory::get(name);
        }
        return files;
    }
};

// The land uses of the data base carry fractions, and the sorted exports copy
// them: the model files stay as the study made them, update after update.
TEST_F(Type8GisUpdateTest, RepeatedUpdatesWithTheSameExportsChangeNothing)
{
    test::StudyBuilder study = test::gis_study(8, 2);
    study.subarea(123401.0f).cell_land_use(1) = 6.5f;
    study.subarea(123403.0f).cell_land_use(1) = 4.25f;
    study.subarea(130101.0f).cell_land_use(1) = 5.0f;
    study.write(".");
    const Files made = model_files();
    ASSERT_EQ(made.size(), 2 * study.map_numbers().size());

    update();
    const Files first = model_files();
    update();
    const Files second = model_files();
    for (const auto& [name, bytes] : made) {
        SCOPED_TRACE(name);
        // Binary files: compared whole, shown by name only.
        EXPECT_TRUE(first.at(name) == bytes) << "the first update changed the model file";
        EXPECT_TRUE(second.at(name) == first.at(name)) << "the second update changed the model file";
    }
}

}  // namespace
}  // namespace velm
