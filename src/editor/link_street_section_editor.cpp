// Option 7: a link's street-flow section.  Two pages of entries (one for a
// link of process code 61, whose gutter values and friction are kept); an
// empty line keeps the shown value.  The curb height is shown and typed in
// inches and handed to the model-file passes in feet; a parkway crossfall
// of 100 means no flow on the parkway and is stored as 0.
#include "editor/link_element_editor.h"

#include "records/format.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr float NO_FLOW_ON_PARKWAY = 100.0f;
constexpr float DEFAULT_STREET_FRICTION = 0.015f;
constexpr int STREET_PROCESS_CODE = 61;

constexpr std::string_view NO_STREET_FORMAT =
    "('This LINK does NOT have a StreetFlow Element.',/,5X,'There is Nothing available to change!')";
constexpr std::string_view CURB_FORMAT = "('Enter ',2A8,A5,'street curb-height',A8,' ==>',F3.0)";
constexpr std::string_view STANDARD_CURB_FORMAT =
    "('Enter standard symmetrical street curb-height',A8,' ==>',F3.0,/,5X,':ALLOWABLE VALUES ARE [6] OR [8]')";
constexpr std::string_view HALF_WIDTH_FORMAT = "('Enter ',2A8,A5,'street half-width',A6,'..',A5,F6.2)";
constexpr std::string_view CROWN_FORMAT =
    "('Enter distance from street crown to',/,5X,'crossfall',' gradebreak',A6,26('.'),A5,F6.2)";
constexpr std::string_view CENTER_FORMAT = "('Enter CENTER lane street crossfall(DECIMAL)',9('.'),A5,F6.4)";
constexpr std::string_view OUTSIDE_FORMAT = "('Enter OUTSIDE lane street crossfall(DECIMAL)',8('.'),A5,F6.4)";
constexpr std::string_view PARKWAY_FORMAT = "('Enter PARKWAY crossfall(DECIMAL;100=NO FLOW ON',' PARKWAY)=>',F8.4)";
constexpr std::string_view GUTTER_WIDTH_FORMAT =
    "('Enter gutter-width',A6,28('.'),A5,F6.2,/,5X,'NOTE: ',2A8,' GUTTER-WIDTH IS USUALLY [1.5]',/,11X,2A8,' "
    "GUTTER-WIDTH IS USUALLY [2.0]')";
constexpr std::string_view GUTTER_LIP_FORMAT =
    "('Enter gutter-lip',A6,30('.'),A5,F7.5,/,5X,'NOTE: ',2A8,' GUTTER-LIP IS USUALLY [.03125]',/,11X,2A8,' "
    "GUTTER-LIP IS USUALLY [.03125]')";
constexpr std::string_view GUTTER_HIKE_FORMAT =
    "('Enter gutter-hike',A6,29('.'),A5,F5.3,/,5X,'NOTE: ',2A8,' GUTTER-HIKE IS USUALLY [.125]',/,11X,2A8,' "
    "GUTTER-HIKE IS USUALLY [.167]')";
constexpr std::string_view FRICTION_FORMAT =
    "('Enter average friction factor(Manning)',14('.'),A5,F6.4,/,5X,'(NOTE: RECOMMENDED VALUE IS [0.015])')";
constexpr std::string_view ACCEPT_HINT = "(Press Enter Key to ACCEPT entry)";
constexpr std::string_view PARKWAY_RANGE_MESSAGE = "****** VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.";
constexpr std::string_view STREET_HISTORY_HEADINGS_FORMAT =
    "(5X,'Link Street Section Data (Previous)/Current:',/,3X,'|',17X,'| Half- |Crown to | Street-Crossfall: | Curb "
    "|Gutter-','Geometries: |Manning|',/,3X,'|     Link ID     | Width |Crossfall| IN-  / OUT-','/PARK- |Height| "
    "Width  Lip   Hike |Factor |',/,3X,'|',90('-'),'|')";
constexpr std::string_view STREET_HISTORY_BLOCK_FORMAT =
    "(3X,'|',F8.1,'-',F8.1,'|(',F5.1,')| (',F5.1,') |(',F5.3,'/',F5.3,'/',F5.3,')|(',F4.2,')|(',F5.2,F7.5,F6.4,'|',"
    "F6.4,')|',/,3X,'|  Current Data   | ',F5.1,' |  ',F5.1,'  | ',F5.3,'/',F5.3,'/',F5.3,' | ',F4.2,' | ',F5.2,"
    "F7.5,F6.4,'|',F6.4,' |',/,3X,'|',90('-'),'|')";

const std::string SYMMETRICAL_1 = "constant";
const std::string SYMMETRICAL_2 = " symmetr";
const std::string SYMMETRICAL_3 = "ical    ";
const std::string INCHES = "(INCHES)";
const std::string FEET = "(FEET)";
const std::string ARROW = " ===>";
const std::string SIX_INCH_1 = "For 6-in";
const std::string SIX_INCH_2 = "ch curb,";
const std::string EIGHT_INCH_1 = "For 8-in";
const std::string EIGHT_INCH_2 = "ch curb,";

enum class PageEnd { Done, Exit, Top, Back };

// One entry: an empty line keeps the shown value (without a range test); an
// accepted value is written again in its field's layout.
struct StreetField {
    Window& window;
    CommandSet commands;
    mutable bool kept = false;  // the last entry kept the shown value

    PageEnd ask(int row, float low, float high, float shown, std::string_view shown_as, float& value) const
    {
        const NumberEntry entry =
            read_number_field(window, ENTRY_FIELD_COLUMN, row, FieldKind::Real, low, high, shown, commands, true);
        if (entry.result == EntryResult::ExitRequested) return PageEnd::Exit;
        if (entry.result == EntryResult::TopRequested) return PageEnd::Top;
        if (entry.result == EntryResult::BackRequested) return PageEnd::Back;
        kept = entry.result == EntryResult::DefaultAccepted;
        value = kept ? shown : entry.value;
        std::string text = format_line(shown_as, {value});
        text.resize(ENTRY_FIELD_WIDTH, ' ');
        write_at(window, ENTRY_FIELD_COLUMN, row, text, LineEnd::StayOnLine);
        return PageEnd::Done;
    }
};

void draw_page_footer(Window& window, CommandSet commands)
{
    show_command_footer(window, commands);
    write_at(window, 30, RULE_ROW, ACCEPT_HINT, LineEnd::StayOnLine);
    write_at(window, 11, 23, NEXT_LINK_HINT, LineEnd::StayOnLine);
}

// Page 1: curb, half-width, crown distance, the three crossfalls.  The edit
// gets the curb height in inches here.
PageEnd street_page_one(Window& window, const LinkRecord& record, StreetSectionEdit& edit)
{
    const bool code61 = record.process_code() == STREET_PROCESS_CODE;
    const float shown_curb = record.curb_height() * 12.0f;
    const float shown_parkway = record.parkway_crossfall() == 0.0f ? NO_FLOW_ON_PARKWAY : record.parkway_crossfall();
    for (;;) {
        clear_screen(window);
        if (code61) {
            write_form(window, 5, 3, STANDARD_CURB_FORMAT, {INCHES, shown_curb});
        } else {
            write_form(window, 5, 3, CURB_FORMAT, {SYMMETRICAL_1, SYMMETRICAL_2, SYMMETRICAL_3, INCHES, shown_curb});
            show_allowable_range(window, 3, 4, "1.", "36.");
        }
        write_form(window, 5, 6, HALF_WIDTH_FORMAT,
                   {SYMMETRICAL_1, SYMMETRICAL_2, SYMMETRICAL_3, FEET, ARROW, record.street_half_width()});
        show_allowable_range(window, 3, 7, "10.", "100.");
        write_form(window, 5, 9, CROWN_FORMAT, {FEET, ARROW, record.crown_to_gradebreak_distance()});
        show_allowable_range(window, 3, 11, "1.", "99.");
        write_form(window, 5, 13, CENTER_FORMAT, {ARROW, record.center_lane_crossfall()});
        show_allowable_range(window, 3, 14, ".001", ".5");
        write_form(window, 5, 16, OUTSIDE_FORMAT, {ARROW, record.outside_lane_crossfall()});
        show_allowable_range(window, 3, 17, ".001", ".5");
        write_form(window, 5, 19, PARKWAY_FORMAT, {shown_parkway});
        show_allowable_range(window, 3, 20, ".005", ".05");
        draw_page_footer(window, CommandSet::ExitTop);

        const StreetField field{window, CommandSet::ExitTop};
        PageEnd end = field.ask(3, 1.0f, 36.0f, shown_curb, "(F3.0)", edit.curb_height);
        if (end == PageEnd::Top) continue;
        if (end != PageEnd::Done) return end;
        // A standard curb of a code-61 link is 6 or 8 inches.
        if (code61 && !field.kept && edit.curb_height != 6.0f && edit.curb_height != 8.0f) continue;
        end = field.ask(6, 10.0f, 100.0f, record.street_half_width(), "(F6.2)", edit.street_half_width);
        if (end == PageEnd::Top) continue;
        if (end != PageEnd::Done) return end;
        const float crown_limit = edit.street_half_width - 5.0f;
        write_form(window, 40, 11, "(F6.2,$)", {crown_limit});
        end = field.ask(10, 1.0f, crown_limit, record.crown_to_gradebreak_distance(), "(F6.2)",
                        edit.crown_to_gradebreak_distance);
        if (end == PageEnd::Top) continue;
        if (end != PageEnd::Done) return end;
        end = field.ask(13, 0.001f, 0.5f, record.center_lane_crossfall(), "(F6.4)", edit.center_lane_crossfall);
        if (end == PageEnd::Top) continue;
        if (end != PageEnd::Done) return end;
        end = field.ask(16, 0.001f, 0.5f, record.outside_lane_crossfall(), "(F6.4)", edit.outside_lane_crossfall);
        if (end == PageEnd::Top) continue;
        if (end != PageEnd::Done) return end;
        for (;;) {
            end = field.ask(19, 0.005f, NO_FLOW_ON_PARKWAY, shown_parkway, "(F7.4)", edit.parkway_crossfall);
            if (end != PageEnd::Done) break;
            if (edit.parkway_crossfall > 0.05f && edit.parkway_crossfall < NO_FLOW_ON_PARKWAY) {
                write_at(window, ENTRY_FIELD_COLUMN, 19, std::string(8, ' '), LineEnd::StayOnLine);
                write_at(window, 1, MESSAGE_ROW, PARKWAY_RANGE_MESSAGE, LineEnd::StayOnLine);
                sound_beep(window);
                continue;
            }
            if (edit.parkway_crossfall == NO_FLOW_ON_PARKWAY) edit.parkway_crossfall = 0.0f;
            break;
        }
        if (end == PageEnd::Top) continue;
        return end;
    }
}

// Page 2: the gutter and the street's friction factor.
PageEnd street_page_two(Window& window, const LinkRecord& record, StreetSectionEdit& edit)
{
    for (;;) {
        clear_screen(window);
        write_form(window, 5, 3, GUTTER_WIDTH_FORMAT,
                   {FEET, ARROW, record.gutter_width(), SIX_INCH_1, SIX_INCH_2, EIGHT_INCH_1, EIGHT_INCH_2});
        show_allowable_range(window, 3, 6, ".1", "5");
        write_form(window, 5, 8, GUTTER_LIP_FORMAT,
                   {FEET, ARROW, record.gutter_lip(), SIX_INCH_1, SIX_INCH_2, EIGHT_INCH_1, EIGHT_INCH_2});
        show_allowable_range(window, 3, 11, ".01", "1");
        write_form(window, 5, 13, GUTTER_HIKE_FORMAT,
                   {FEET, ARROW, record.gutter_hike(), SIX_INCH_1, SIX_INCH_2, EIGHT_INCH_1, EIGHT_INCH_2});
        show_allowable_range(window, 3, 16, ".01", "1");
        write_form(window, 5, 18, FRICTION_FORMAT, {ARROW, record.street_friction_factor()});
        show_allowable_range(window, 3, 20, ".008", ".1");
        draw_page_footer(window, CommandSet::ExitTopBack);

        const StreetField field{window, CommandSet::ExitTopBack};
        PageEnd end = field.ask(3, 0.1f, 5.0f, record.gutter_width(), "(F6.2)", edit.gutter_width);
        if (end == PageEnd::Done) end = field.ask(8, 0.01f, 1.0f, record.gutter_lip(), "(F7.5)", edit.gutter_lip);
        if (end == PageEnd::Done) end = field.ask(13, 0.01f, 1.0f, record.gutter_hike(), "(F5.3)", edit.gutter_hike);
        if (end == PageEnd::Done)
            end = field.ask(18, 0.008f, 0.1f, record.street_friction_factor(), "(F6.4)", edit.street_friction_factor);
        if (end == PageEnd::Top) continue;
        return end;
    }
}

}  // namespace

std::vector<std::string> link_street_section_history_headings()
{
    return Format(STREET_HISTORY_HEADINGS_FORMAT).write({});
}

LinkEditStep edit_link_street_section(EditorContext& context, LinkRecord& record)
{
    Window& window = context.window();
    if (record.curb_height() <= 0.0f) {
        write_form(window, 5, 15, NO_STREET_FORMAT);
        return {LinkEditOutcome::NoEditableElement, {}};
    }
    StreetSectionEdit edit;
    for (;;) {
        const PageEnd first = street_page_one(window, record, edit);
        if (first == PageEnd::Exit) return {LinkEditOutcome::EditAbandoned, {}};
        if (record.street_friction_factor() <= 0.0f) record.street_friction_factor() = DEFAULT_STREET_FRICTION;
        if (record.process_code() == STREET_PROCESS_CODE) {
            edit.gutter_width = record.gutter_width();
            edit.gutter_lip = record.gutter_lip();
            edit.gutter_hike = record.gutter_hike();
            edit.street_friction_factor = record.street_friction_factor();
            break;
        }
        const PageEnd second = street_page_two(window, record, edit);
        if (second == PageEnd::Exit) return {LinkEditOutcome::EditAbandoned, {}};
        if (second == PageEnd::Done) break;
    }
    edit.curb_height = edit.curb_height / 12.0f;

    const std::array<float, 10> previous{record.street_half_width(),     record.crown_to_gradebreak_distance(),
                                         record.center_lane_crossfall(), record.outside_lane_crossfall(),
                                         record.parkway_crossfall(),     record.curb_height(),
                                         record.gutter_width(),          record.gutter_lip(),
                                         record.gutter_hike(),           record.street_friction_factor()};
    const std::array<float, 10> current{edit.street_half_width,     edit.crown_to_gradebreak_distance,
                                        edit.center_lane_crossfall, edit.outside_lane_crossfall,
                                        edit.parkway_crossfall,     edit.curb_height,
                                        edit.gutter_width,          edit.gutter_lip,
                                        edit.gutter_hike,           edit.street_friction_factor};
    if (previous == current) return {LinkEditOutcome::NothingChanged, {}};

    record.curb_height() = edit.curb_height;
    record.street_half_width() = edit.street_half_width;
    record.crown_to_gradebreak_distance() = edit.crown_to_gradebreak_distance;
    record.center_lane_crossfall() = edit.center_lane_crossfall;
    record.outside_lane_crossfall() = edit.outside_lane_crossfall;
    record.parkway_crossfall() = edit.parkway_crossfall;
    record.gutter_width() = edit.gutter_width;
    record.gutter_lip() = edit.gutter_lip;
    record.gutter_hike() = edit.gutter_hike;
    record.street_friction_factor() = edit.street_friction_factor;
    edit.street_section_number = record.process_code();
    context.street = edit;

    std::vector<FormatValue> values{record.upstream_node(), record.downstream_node()};
    for (const float value : previous) values.emplace_back(value);
    for (const float value : current) values.emplace_back(value);
    return {LinkEditOutcome::EditCommitted, Format(STREET_HISTORY_BLOCK_FORMAT).write(values)};
}

}  // namespace velm
