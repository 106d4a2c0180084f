// The real program, launched in toolset mode for the GIS update of the
// bundled sample study (SA) with something other than a file at a name the
// update writes or reads.  The update is one change, and every check comes
// before it: a run ends either refused, with status 1, no reply and the
// study as it was, or (a fifo at a file it only writes, which the new file
// replaces) with the whole update made, replied and status 0.
// Never in between: a launcher that takes a refused run at its word starts
// it again, and an update made once already would then be copied over the
// "OO" copies, the originals of the model files lost.  The tool-status file
// "SAtoolzz.set", which the update makes where it is missing, is refused
// like every file it reads.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "support/program_process.h"
#include "support/program_run.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;
using velm::test::joined_rows;
using velm::test::ProcessEnd;
using velm::test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

// Seconds the program may take: a run that waits on a fifo is stopped.
constexpr unsigned RUN_SECONDS = 60;
const std::string REFUSAL = " * THE UPDATE CANNOT BE MADE; NO FILE WAS CHANGED:";
const std::vector<std::string> MODEL_FILES = {"SA2204ZZ.Z11", "SA2204ZZ.Z12", "SA2301ZZ.Z11", "SA2301ZZ.Z12",
                                              "SA2302ZZ.Z11", "SA2302ZZ.Z12", "SA2303ZZ.Z11", "SA2303ZZ.Z12"};

std::string oo_copy_of(const std::string& model_file)
{
    return model_file.substr(0, 6) + "OO." + model_file.substr(9);
}

// The update made whole: the "OO" copy of every model file holds the model
// file as it was before (the sample's exports are its own data, so the
// model files keep their bytes), and the history log holds its note.
void expect_update_made(const Snapshot& before)
{
    for (const std::string& name : MODEL_FILES) {
        EXPECT_TRUE(TemporaryDirectory::get(oo_copy_of(name)) == before.at(name)) << oo_copy_of(name);
        EXPECT_TRUE(TemporaryDirectory::get(name) == before.at(name)) << name;
    }
    EXPECT_NE(TemporaryDirectory::get("SAHISTZZ.DAT").find("GIS"), std::string::npos) << "no history note";
}

// What stands at a name in place of a file.
enum class Thing { Fifo, Directory };

class GisUpdateToolsetFileTest : public ::testing::Test {
protected:
    // The sample study in "study", with the launcher's command file of a
    // GIS update in toolset mode (count 1, option 7).
    void SetUp() override
    {
        fs::copy(fs::path(VELM_SOURCE_DIR) / "examples" / "sample", study_, fs::copy_options::recursive);
        fs::current_path(study_);
        velm::test::write_command_file("SA", 1, 7, 0);
    }
    void TearDown() override { fs::current_path(directory_.path()); }

    // The program in the study with RETURN typed under whatever it shows.
    ProcessEnd run() const
    {
        return velm::test::run_program_process(study_, "\n\n\n\n", [] {
            std::signal(SIGALRM, SIG_DFL);
            alarm(RUN_SECONDS);  // kept across the exec
        });
    }

    // Every name in the study with the bytes of each regular file (a name
    // where no file stands is listed without bytes, and never read), but the
    // launcher's own files.
    static Snapshot study_snapshot()
    {
        Snapshot files;
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("QEVCOM")) continue;
            files[name] = entry.is_regular_file() ? TemporaryDirectory::get(name) : "(no file)";
        }
        return files;
    }

    TemporaryDirectory directory_;
    fs::path study_ = directory_.path() / "study";
};

// The sound update: the tool-status file made where it is missing, with its
// 100 zero flags, or kept as it stands; every model file updated, its
// original in its "OO" copy; the reply written.
TEST_F(GisUpdateToolsetFileTest, TheUpdateMakesTheToolStatusFileWithItsChangeOrKeepsIt)
{
    for (const bool standing : {false, true}) {
        SCOPED_TRACE(standing ? "a tool-status file with a flag set" : "no tool-status file");
        std::string flags;
        for (int k = 1; k <= 100; ++k) flags += k == 5 ? "1\r\n" : "0\r\n";
        if (standing) TemporaryDirectory::put("SAtoolzz.set", flags);
        const Snapshot before = study_snapshot();

        const ProcessEnd ending = run();

        EXPECT_EQ(ending.status, 0) << ending.screen;
        EXPECT_EQ(TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
        std::string zero_flags;
        for (int k = 1; k <= 100; ++k) zero_flags += std::string(11, ' ') + "0\r\n";
        EXPECT_EQ(TemporaryDirectory::get("SAtoolzz.set"), standing ? flags : zero_flags);
        expect_update_made(before);

        fs::current_path(directory_.path());
        fs::remove_all(study_);
        SetUp();
    }
}

TEST_F(GisUpdateToolsetFileTest, SomethingOtherThanAFileAtANameTheUpdateUsesEndsItWhole)
{
    struct Case {
        const char* what;
        const char* file;
        Thing thing;
        // Refused: a file the update reads, the tool-status file, or a
        // directory where it writes.  Otherwise the update replaces the
        // thing by the file it writes (one it only writes), and is done.
        bool refused;
        const char* kind = "";  // as the refusal names it, where it must refuse
    };
    const Case cases[] = {
        {"a fifo at the tool-status file", "SAtoolzz.set", Thing::Fifo, true, "a fifo (named pipe)"},
        {"a directory at the tool-status file", "SAtoolzz.set", Thing::Directory, true, "a directory"},
        {"a fifo at the history log", "SAHISTZZ.DAT", Thing::Fifo, true, "a fifo (named pipe)"},
        {"a fifo at a link data base", "SA2301ZZ.ZLL", Thing::Fifo, true, "a fifo (named pipe)"},
        {"a fifo at a model file of the second storm event", "SA2302ZZ.Z12", Thing::Fifo, true, "a fifo (named pipe)"},
        {"a directory at the history log", "SAHISTZZ.DAT", Thing::Directory, true},
        {"a directory at an OO copy", "SA2301OO.Z11", Thing::Directory, true},
        {"a directory at a check report", "link.dia", Thing::Directory, true},
        {"a fifo at an OO copy", "SA2301OO.Z11", Thing::Fifo, false},
        {"a fifo at a GIS file the sort writes", "SA2300ZZ.ZZL", Thing::Fifo, false},
        {"a fifo at a check report", "link.dia", Thing::Fifo, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(c.file);
        if (c.thing == Thing::Fifo) {
            ASSERT_EQ(mkfifo(c.file, 0644), 0);
        } else {
            fs::create_directory(c.file);
        }
        const Snapshot before = study_snapshot();

        const ProcessEnd ending = run();

        EXPECT_FALSE(ending.killed_by_signal()) << "ended by signal " << ending.signal << '\n' << ending.screen;
        const bool replied = fs::exists("QEVCOM2.DAT");
        if (c.refused) {
            EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << ending.screen;
            EXPECT_FALSE(replied);
            EXPECT_TRUE(study_snapshot() == before) << "a refused run changed the study";
            EXPECT_NE(ending.screen.find(REFUSAL), std::string::npos) << ending.screen;
            EXPECT_NE(joined_rows(ending.screen).find(std::string("'") + c.file + "'"), std::string::npos)
                << ending.screen;
            if (*c.kind != '\0') {
                const std::string reason =
                    std::string("Cannot read file '") + c.file + "': it is " + c.kind + ", not a file";
                EXPECT_NE(joined_rows(ending.screen).find(reason), std::string::npos) << reason << '\n'
                                                                                      << ending.screen;
            }
        } else {
            EXPECT_EQ(ending.status, 0) << ending.screen;
            EXPECT_TRUE(replied);
            EXPECT_TRUE(fs::is_regular_file(c.file)) << "the thing stands in place of the update's file";
            expect_update_made(before);
        }

        fs::current_path(directory_.path());
        fs::remove_all(study_);
        SetUp();
    }
}

}  // namespace
