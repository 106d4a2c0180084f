// A refusal shows the bad item of a file, but never floods the message with
// it: a short item is quoted whole, a long one by its head and a mark that it
// was cut.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/subarea_data_base.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

// The message of whatever the refusal throws, or of the free-form result it
// returns.
std::string message_of(const std::function<void()>& refused)
{
    try {
        refused();
    } catch (const std::exception& error) {
        return error.what();
    }
    ADD_FAILURE() << "not refused";
    return {};
}

std::string free_form_message(const std::string& line, bool integer_target)
{
    TextReader lines("STUDY.ZLL", std::vector<std::string>{line});
    FreeFormReader reader(lines);
    float real = 0.0f;
    int integer = 0;
    const FreeFormResult result =
        integer_target ? reader.read({&integer}) : reader.read_line_record(std::vector<FreeFormTarget>{&real});
    EXPECT_EQ(result.status, FreeFormStatus::Error);
    return result.message;
}

TEST(QuotedItem, ALongBadItemIsQuotedByItsHead)
{
    // Items whose 60 first characters differ from the rest, so that a quote
    // of more than the head shows.
    const std::string head(60, 'x');
    const std::string long_item = head + std::string(500000, 'y');
    struct Case {
        const char* what;
        std::function<std::string()> message;
        std::string shown;  // the quote as the message must hold it
    };
    const std::vector<Case> cases = {
        {"free-form real", [&] { return free_form_message(long_item, false); },
         "\"" + head + "...\" (cut: 500060 characters in all)"},
        {"free-form text for an integer", [&] { return free_form_message("'" + long_item + "'", true); },
         "\"'" + head.substr(1) + "...\" (cut: 500062 characters in all)"},
        {"data base line read from its file",
         [&] {
             // A whole record of 188 values, the third of them (a real) the
             // long item.
             std::string line = " 1.0 'SUB' " + long_item;
             for (int k = 4; k <= 188; ++k) line += " 0";
             TemporaryDirectory::put("AB0101ZZ.ZSS", line + "\r\n");
             return message_of([] { read_subarea_data_base("AB0101ZZ.ZSS", FilePresence::MustExist); });
         },
         "\"" + head + "...\" (cut: 500060 characters in all)"},
        {"fixed-layout field", [&] { return message_of([&] { Format("(F500060.2)").read({long_item}, 1); }); },
         "\"" + head + "...\" (cut: 500060 characters in all)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        const std::string message = c.message();
        EXPECT_NE(message.find(c.shown), std::string::npos) << message.substr(0, 400);
        EXPECT_LT(message.size(), 400u) << message.substr(0, 400);
    }
}

// An item of up to 60 characters is quoted whole, as it always was.
TEST(QuotedItem, AShortBadItemIsQuotedWhole)
{
    const std::string sixty = "1" + std::string(58, '2') + "x";
    EXPECT_EQ(free_form_message(sixty, false),
              "Free-form read of file \"STUDY.ZLL\", line 1, item 1: not a real number: \"" + sixty + "\"");
    EXPECT_EQ(free_form_message("12a", false),
              "Free-form read of file \"STUDY.ZLL\", line 1, item 1: not a real number: \"12a\"");
    EXPECT_EQ(free_form_message(sixty + "y", false),
              "Free-form read of file \"STUDY.ZLL\", line 1, item 1: not a real number: \"" + sixty +
                  "...\" (cut: 61 characters in all)");
}

}  // namespace
}  // namespace velm
