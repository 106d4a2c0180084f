#include "management/differences_module.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "management/baseline_data_bases.h"
#include "management/differences_column_pages.h"
#include "management/differences_legend.h"
#include "management/record_differences.h"
#include "management/study_answer.h"
#include "management/study_model_list.h"
#include "management/subset_field_map.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "records/subarea_data_base.h"
#include "shell/dialogue.h"
#include "shell/title_pages.h"

namespace velm {

namespace {

enum DifferencesModuleOption : int { GenerateDifferences = 1, RedefineTolerance = 2 };

constexpr int ANSWER_COLUMN = 62;
constexpr int ANSWER_ROW = 13;
constexpr int STUDY_ROW = 18;

inline constexpr std::string_view NODE_DIFFERENCES_NAME_FORMAT = "(A2,'NODEZZ.DIF')";
inline constexpr std::string_view SUBAREA_DIFFERENCES_NAME_FORMAT = "(A2,'SUBAZZ.DIF')";
inline constexpr std::string_view LINK_DIFFERENCES_NAME_FORMAT = "(A2,'LINKZZ.DIF')";
inline constexpr std::string_view DIFFERENCES_REPORT_NAME_FORMAT = "(A2,'TRVLZZ.DIF')";
inline constexpr std::string_view SUMMARY_COUNT_FORMAT = "(A,I4)";
inline constexpr std::string_view SUMMARY_COST_FORMAT = "(A,'[',A2,'] and the Scenario MPD = $',F12.0)";

const std::vector<std::string_view> MENU_TEXT = {
    "Data Base \"DIFFERENCES\" Module Options:",
    "",
    "       1= Generate DIFFERENCES Data Base SUBSET(per SUBSET specifications)",
    "       2= Redefine TOLERANCE Settings",
    "       3= N/A",
    "       4= N/A",
    "       5= N/A",
    "       6= N/A",
    "     Enter Option NUMBER................................ ===>",
};
const std::vector<std::string_view> TOLERANCE_TEXT = {
    "The \"DIFFERENCES\" data base needs to have a",
    "     Tolerance Setting selected by YOU in order to reduce",
    "     round-off error impacts.  NOTE: Estimated \"Differences\" that",
    "     fall within YOUR Tolerance setting will be redefined as ZERO.",
    "",
    "     Differences TOLERANCE level Options:",
    "       1 = 1%",
    "       2 = 0.1%",
    "     Enter Tolerance Level Option NUMBER................ ===>2",
};
const std::vector<std::string_view> REPORT_OPTIONS_TEXT = {
    "\"DIFFERENCES\" REPORT Options:",
    "",
    "       1= Skip Report",
    "       2= Estimate Total Cost Opinion Change",
    "       3= Prepare Full Report and Estimate Total Cost Opinion Change",
    "       4= N/A",
    "       5= N/A",
    "       6= N/A",
    "     Enter Report Option NUMBER......................... ===>",
};

constexpr std::string_view NO_CHANGES_LINE = "     NO CHANGES were Detected by the \"DIFFERENCES\" module.";

// The lines of one kind's differences as the pass finds them, map by map,
// kept on the disk in a new version of the kind's differences file (of the
// pass's change, or of a scratch change never committed when the lines
// only make a report): in a study whose every record changed they are as
// large as its data bases.  The last line added is held back until the
// next, so that it can still be taken back.  A section that cannot be
// written is told by the study file it is written for (`told_name`: the
// report, when the section only feeds one), never by its own scratch name.
class DifferencesSection {
public:
    DifferencesSection(FileChange& change, std::string name, std::string told_name)
        : change_(change),
          name_(std::move(name)),
          told_name_(std::move(told_name)),
          file_(telling_the_file([&] { return change.stream(name_); }))
    {
    }

    void add(std::string line)
    {
        if (held_) telling_the_file([&] { file_.write_line(*held_); });
        held_ = std::move(line);
    }
    void add(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines) add(line);
    }
    // Takes back the last line added (none when nothing was added).
    void drop_last() { held_.reset(); }
    // Every line written; the name to read them back from.
    std::string complete()
    {
        telling_the_file([&] {
            if (held_) file_.write_line(*held_);
            file_.finish();
        });
        held_.reset();
        return change_.current_file(name_);
    }

private:
    template <class Write>
    auto telling_the_file(Write write) -> decltype(write())
    {
        try {
            return write();
        } catch (const FileError& error) {
            std::string message = error.what();
            if (told_name_ == name_) throw;
            for (std::size_t at = 0; (at = message.find(name_, at)) != std::string::npos; at += told_name_.size())
                message.replace(at, name_.size(), told_name_);
            throw FileError(message);
        }
    }

    FileChange& change_;
    std::string name_;
    std::string told_name_;
    NewVersionStream file_;
    std::optional<std::string> held_;
};

// Where a screen's answer leads.
enum class Step { Menu, Tolerance, Study, ReportOptions, Pass };

class DifferencesModule {
public:
    DifferencesModule(Session& session, LauncherCall& call) : session_(session), window_(session.window), call_(call) {}

    [[noreturn]] void run();

private:
    // A screen's answer: the value, or the step the command leads to.
    struct ScreenAnswer {
        std::optional<int> value;
        Step next = Step::Menu;
    };
    ScreenAnswer ask(const std::vector<std::string_view>& text, CommandSet commands, int highest, bool blank_allowed,
                     Step on_top, Step on_back);
    Step choose_study();
    // One pass over the study's maps; the menu follows in an interactive run.
    Step run_pass();
    void write_report(FileChange& outputs, DifferencesSection& node_lines, DifferencesSection& subarea_lines,
                      DifferencesSection& link_lines, const DifferencesPass& pass);
    // An output that cannot be written, or a file of the pass that cannot
    // be read: a beep and the message naming it, until RETURN.  Nothing was
    // changed.  An interactive run goes back to the menu; a launched one
    // ends there without a reply (the pass was not made).
    Step refuse_pass(const FileError& error);
    [[noreturn]] void finish();
    // A file of the study that the pass needs is missing: the message on
    // row 21, a pause, and the end of the run.
    [[noreturn]] void report_missing_file(const std::string& bare_name);
    std::string study_file(std::string_view layout) const
    {
        return session_.study_file(study_file_name(layout, study_id_));
    }

    Session& session_;
    Window& window_;
    LauncherCall& call_;
    std::string study_id_ = "  ";
    int option_ = GenerateDifferences;
    float tolerance_ = TENTH_PERCENT_TOLERANCE;
    DifferencesReportOption report_option_ = DifferencesReportOption::SkipReport;
    std::vector<std::string> data_file_names_;
    SubsetFieldMap field_map_{};
};

void DifferencesModule::run()
{
    if (call_.launched()) study_id_ = call_.study_id();
    if (!call_.launched()) show_differences_module_banner(window_);
    Step step = Step::Menu;
    for (;;) {
        switch (step) {
            case Step::Menu: {
                const ScreenAnswer answer = ask(MENU_TEXT, CommandSet::ExitTop, 2, false, Step::Menu, Step::Menu);
                if (!answer.value) {
                    step = answer.next;
                    break;
                }
                option_ = *answer.value;
                tolerance_ = TENTH_PERCENT_TOLERANCE;
                step = option_ == GenerateDifferences ? Step::Study : Step::Tolerance;
                break;
            }
            case Step::Tolerance: {
                const ScreenAnswer answer =
                    ask(TOLERANCE_TEXT, CommandSet::ExitTopBack, 2, true, Step::Tolerance, Step::Menu);
                if (!answer.value) {
                    step = answer.next;
                    break;
                }
                tolerance_ = *answer.value == 1 ? ONE_PERCENT_TOLERANCE : TENTH_PERCENT_TOLERANCE;
                step = Step::Study;
                break;
            }
            case Step::Study:
                step = choose_study();
                break;
            case Step::ReportOptions: {
                const Step back = option_ == GenerateDifferences ? Step::Menu : Step::Tolerance;
                const ScreenAnswer answer =
                    ask(REPORT_OPTIONS_TEXT, CommandSet::ExitTopBack, 3, false, Step::ReportOptions, back);
                if (!answer.value) {
                    step = answer.next;
                    break;
                }
                report_option_ = static_cast<DifferencesReportOption>(*answer.value);
                step = Step::Pass;
                break;
            }
            case Step::Pass:
                // A file that cannot be written on the way (a full disk) or
                // read refuses the pass as one that cannot be replaced does:
                // the pass's changes are discarded on the way out.
                try {
                    step = run_pass();
                } catch (const FileError& error) {
                    step = refuse_pass(error);
                }
                break;
        }
    }
}

// EXIT ends the module; TOP and BACK lead where the screen says.  An
// accepted empty answer (the tolerance screen) stands for option 2.
DifferencesModule::ScreenAnswer DifferencesModule::ask(const std::vector<std::string_view>& text, CommandSet commands,
                                                       int highest, bool blank_allowed, Step on_top, Step on_back)
{
    clear_screen(window_);
    write_at(window_, 5, 5, text.front());
    for (std::size_t k = 1; k < text.size(); ++k) window_.write(text[k]);
    show_command_footer(window_, commands);
    const NumberEntry entry = read_number_field(window_, ANSWER_COLUMN, ANSWER_ROW, FieldKind::Whole, 1.0f,
                                                static_cast<float>(highest), 0.0f, commands, blank_allowed);
    switch (entry.result) {
        case EntryResult::ExitRequested:
            finish();
        case EntryResult::TopRequested:
            return {std::nullopt, on_top};
        case EntryResult::BackRequested:
            return {std::nullopt, on_back};
        case EntryResult::DefaultAccepted:
            return {2, on_top};
        case EntryResult::ValueEntered:
            break;
    }
    return {static_cast<int>(entry.value), on_top};
}

Step DifferencesModule::choose_study()
{
    const Step top = option_ == GenerateDifferences ? Step::Menu : Step::Tolerance;
    if (!call_.launched() && is_unknown_study_id(study_id_)) {
        write_at(window_, 5, STUDY_ROW, "Specify 2-letter STUDY NAME(between [AA] to [ZZ])... ===>",
                 LineEnd::StayOnLine);
    }
    const StudyChoice choice = choose_module_study(session_, call_, study_id_, {ANSWER_COLUMN, STUDY_ROW, 18});
    switch (choice.step) {
        case StudyStep::Exit:
            finish();
        case StudyStep::Top:
            return top;
        case StudyStep::NotAModelList:
            study_id_ = "  ";
            return Step::Menu;
        case StudyStep::Accepted:
            break;
    }
    data_file_names_ = choice.list.data_file_stems;
    return Step::ReportOptions;
}

void DifferencesModule::report_missing_file(const std::string& bare_name)
{
    study_id_ = "  ";
    stop_with_message(window_, "*****FILE " + padded_file_name(bare_name) + " DOES NOT EXIST ",
                      "differences module: a file of the study is missing");
}

Step DifferencesModule::run_pass()
{
    const std::string specification_name = study_file_name(SUBSET_SPECIFICATION_NAME_FORMAT, study_id_);
    if (!file_exists(session_.study_file(specification_name))) {
        write_at(window_, 1, 20, "  * Data Base Subsets are NOT defined !", LineEnd::StayOnLine);
        report_missing_file(specification_name);
    }
    set_subset_field_map_defaults(field_map_);
    read_subset_specification(session_.study_file(specification_name), field_map_);
    const std::array<std::string_view, DATA_BASE_KINDS> baseline_formats{
        NODE_BASELINE_NAME_FORMAT, SUBAREA_BASELINE_NAME_FORMAT, LINK_BASELINE_NAME_FORMAT};
    for (std::string_view layout : baseline_formats) {
        if (!file_exists(study_file(layout))) report_missing_file(study_file_name(layout, study_id_));
    }
    // The baselines are read in step with the maps, a block at a time.
    TextReader node_baseline_lines = TextReader::open_streamed(study_file(NODE_BASELINE_NAME_FORMAT));
    TextReader subarea_baseline_lines = TextReader::open_streamed(study_file(SUBAREA_BASELINE_NAME_FORMAT));
    TextReader link_baseline_lines = TextReader::open_streamed(study_file(LINK_BASELINE_NAME_FORMAT));
    FreeFormReader node_baseline(node_baseline_lines);
    FreeFormReader subarea_baseline(subarea_baseline_lines);
    FreeFormReader link_baseline(link_baseline_lines);

    clear_screen(window_);
    DifferencesPass pass;
    pass.tolerance = tolerance_;
    pass.report_option = report_option_;
    const bool full = report_option_ == DifferencesReportOption::FullReport;
    const bool cost_only = report_option_ == DifferencesReportOption::CostChangeOnly;
    const SubsetFieldList& nodes = field_map_.fields(DataBaseKind::NodeKind);
    const SubsetFieldList& subareas = field_map_.fields(DataBaseKind::SubareaKind);
    const SubsetFieldList& links = field_map_.fields(DataBaseKind::LinkKind);
    // The pass's outputs are one change: the three differences files, or
    // the report, which replaces them.  Each is checked before anything is
    // written.
    const bool skip_report = report_option_ == DifferencesReportOption::SkipReport;
    FileChange change;
    try {
        for (std::string_view layout :
             {NODE_DIFFERENCES_NAME_FORMAT, SUBAREA_DIFFERENCES_NAME_FORMAT, LINK_DIFFERENCES_NAME_FORMAT})
            change.reach(study_file(layout));
        if (!skip_report) change.reach(study_file(DIFFERENCES_REPORT_NAME_FORMAT));
    } catch (const FileError& error) {
        return refuse_pass(error);
    }
    // The sections become the differences files, or, for a report, lie
    // beside it under names of their own until it is written, and go.
    FileChange sections;
    FileChange& section_change = skip_report ? change : sections;
    auto section_file = [&](std::string_view layout) {
        const std::string name = study_file(layout);
        return skip_report ? name : name + ".SECTION";
    };
    const std::string report_name = study_file(DIFFERENCES_REPORT_NAME_FORMAT);
    auto told_file = [&](std::string_view layout) { return skip_report ? study_file(layout) : report_name; };
    DifferencesSection node_lines(section_change, section_file(NODE_DIFFERENCES_NAME_FORMAT),
                                  told_file(NODE_DIFFERENCES_NAME_FORMAT));
    DifferencesSection subarea_lines(section_change, section_file(SUBAREA_DIFFERENCES_NAME_FORMAT),
                                     told_file(SUBAREA_DIFFERENCES_NAME_FORMAT));
    DifferencesSection link_lines(section_change, section_file(LINK_DIFFERENCES_NAME_FORMAT),
                                  told_file(LINK_DIFFERENCES_NAME_FORMAT));

    std::vector<std::string> map_lines;  // the entries of one map and kind
    for (std::size_t i = 0; i < data_file_names_.size(); ++i) {
        const std::string& stem = data_file_names_[i];
        std::string shown = stem;
        shown.resize(12, ' ');
        write_at(window_, 5, 5, "     PROCESSING DATA FILE...." + shown);
        if (i == 0) {
            if (full) {
                node_lines.add(differences_legend(DataBaseKind::NodeKind, nodes, study_id_));
                subarea_lines.add(differences_legend(DataBaseKind::SubareaKind, subareas, study_id_));
                link_lines.add(differences_legend(DataBaseKind::LinkKind, links, study_id_));
            }
            if (!cost_only) {
                node_lines.add(differences_column_number_line(nodes));
                subarea_lines.add(differences_column_number_line(subareas));
                link_lines.add(differences_column_number_line(links));
            }
        }
        // A missing map data base yields no records; it is not created.
        if (!cost_only) {
            TextReader node_records = TextReader::open_optional(session_.study_file(node_data_base_name(stem)));
            FreeFormReader node_reader(node_records);
            map_lines.clear();
            write_node_differences(nodes, node_reader, node_baseline, pass, map_lines);
            node_lines.add(map_lines);
            TextReader subarea_records = TextReader::open_optional(session_.study_file(subarea_data_base_name(stem)));
            FreeFormReader subarea_reader(subarea_records);
            map_lines.clear();
            write_subarea_differences(subareas, subarea_reader, subarea_baseline, pass, map_lines);
            subarea_lines.add(map_lines);
        }
        TextReader link_records = TextReader::open_optional(session_.study_file(link_data_base_name(stem)));
        FreeFormReader link_reader(link_records);
        map_lines.clear();
        write_link_differences(links, link_reader, link_baseline, pass, map_lines);
        link_lines.add(map_lines);
    }
    add_unpaired_baseline_link_costs(links, link_baseline, pass);

    if (full) {
        // A kind without changes: its column-number line gives way to the
        // note that nothing changed.
        for (DataBaseKind kind : {DataBaseKind::SubareaKind, DataBaseKind::NodeKind, DataBaseKind::LinkKind}) {
            if (pass.changed[SubsetFieldMap::index(kind)]) continue;
            DifferencesSection& lines = kind == DataBaseKind::NodeKind      ? node_lines
                                        : kind == DataBaseKind::SubareaKind ? subarea_lines
                                                                            : link_lines;
            lines.drop_last();
            lines.add(std::string());
            lines.add(std::string(NO_CHANGES_LINE));
        }
    }

    std::vector<std::string> closing;
    const std::string id = study_id_;
    if (skip_report) {
        for (DifferencesSection* section : {&node_lines, &subarea_lines, &link_lines}) section->complete();
    } else {
        write_report(change, node_lines, subarea_lines, link_lines, pass);
    }
    try {
        change.commit();
    } catch (const FileError& error) {
        return refuse_pass(error);
    }
    if (skip_report) {
        closing = {"",
                   "     DIFFERENCES SUBSET Data files have been Developed",
                   "     and are Named:",
                   "     [" + id + "NODEZZ.DIF]",
                   "     [" + id + "SUBAZZ.DIF]",
                   "     [" + id + "LINKZZ.DIF]",
                   ""};
    } else {
        if (full) {
            closing = {"", "     DIFFERENCES SUBSET Data file has been Developed",
                       "     and is Named:", "     [" + id + "TRVLZZ.DIF]"};
        } else {
            closing = {
                "", "     CHANGE in Cost Opinion has been Developed and Stored in:", "     [" + id + "TRVLZZ.DIF]", ""};
        }
    }
    if (call_.launched()) finish();
    move_cursor(window_, 1, 6);
    for (const std::string& line : closing) window_.write(line);
    wait_for_return(window_);
    return Step::Menu;
}

// The report "TRVLZZ.DIF": the node, subarea and link sections and the
// summary, every line 150 characters; in the full report the sections of
// the kinds that changed are laid out in column pages.  It replaces any
// earlier differences files of the study, which a report pass does not
// keep.
void DifferencesModule::write_report(FileChange& outputs, DifferencesSection& node_lines,
                                     DifferencesSection& subarea_lines, DifferencesSection& link_lines,
                                     const DifferencesPass& pass)
{
    static const Format title(DIFFERENCES_TITLE_FORMAT);
    static const Format count_line(SUMMARY_COUNT_FORMAT);
    static const Format cost_line(SUMMARY_COST_FORMAT);
    const bool full = report_option_ == DifferencesReportOption::FullReport;
    NewVersionStream report(outputs.stream(study_file(DIFFERENCES_REPORT_NAME_FORMAT)));
    auto write = [&report](const std::string& line) { report.write_line(report_line(line)); };
    std::array<int, DATA_BASE_KINDS> entries{};
    for (DataBaseKind kind : {DataBaseKind::NodeKind, DataBaseKind::SubareaKind, DataBaseKind::LinkKind}) {
        DifferencesSection& section = kind == DataBaseKind::NodeKind      ? node_lines
                                      : kind == DataBaseKind::SubareaKind ? subarea_lines
                                                                          : link_lines;
        TextReader lines = TextReader::open_streamed(section.complete());
        const std::size_t k = SubsetFieldMap::index(kind);
        if (full && pass.changed[k]) {
            entries[k] =
                write_differences_column_pages(lines, kind, subset_leading_fields(field_map_.fields(kind)), write);
        } else {
            std::string_view line;
            while (lines.next_line(line)) write(std::string(line));
        }
    }

    const float change = pass.scenario_cost - pass.baseline_cost;
    write(std::string(PAGE_BREAK));
    write(title.line({study_id_}));
    write(std::string());
    if (full) {
        write("                              4. DIFFERENCES Summary Report:");
        write("     ");
        write(count_line.line({std::string("     1. Total Number of Subareas Listed in DIFFERENCES REPORT = "),
                               entries[SubsetFieldMap::index(DataBaseKind::SubareaKind)]}));
        write(count_line.line({std::string("     2. Total Number of   Links  Listed in DIFFERENCES REPORT = "),
                               entries[SubsetFieldMap::index(DataBaseKind::LinkKind)]}));
        write(count_line.line({std::string("     3. Total Number of   Nodes  Listed in DIFFERENCES REPORT = "),
                               entries[SubsetFieldMap::index(DataBaseKind::NodeKind)]}));
        write(cost_line.line({std::string("     4. Total Change in Cost Opinion Between MPD ID = "), study_id_, change}));
    } else {
        write("                              DIFFERENCES Summary Report:");
        write(cost_line.line({std::string("     Total Change in Cost Opinion Between MPD ID = "), study_id_, change}));
    }
    report.finish();
    outputs.remove(study_file(NODE_DIFFERENCES_NAME_FORMAT));
    outputs.remove(study_file(SUBAREA_DIFFERENCES_NAME_FORMAT));
    outputs.remove(study_file(LINK_DIFFERENCES_NAME_FORMAT));
}

Step DifferencesModule::refuse_pass(const FileError& error)
{
    constexpr int REFUSAL_ROW = 15;
    show_file_refusal(window_, REFUSAL_ROW, " * THE DIFFERENCES CANNOT BE MADE; NOTHING WAS CHANGED:", error);
    if (call_.launched()) {
        clear_screen(window_);
        stop_program_refused("differences module: the pass was refused");
    }
    return Step::Menu;
}

void DifferencesModule::finish()
{
    end_module_run(window_, call_.run_count, study_id_, "differences module: done");
}

}  // namespace

void run_differences_module(Session& session, LauncherCall& call)
{
    DifferencesModule(session, call).run();
}

}  // namespace velm
