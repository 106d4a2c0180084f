// Option 6: a link's as-built primary element (pipe, box or channel).  The
// element type is shown, not changed; every value is typed again, also when
// it stays the same, and a complete entry always commits.
#include "editor/link_element_editor.h"

#include "records/format.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view PRIMARY_ELEMENT_SCREEN_FORMAT =
    "('Enter in-place (as-built) Primary Flow Element Attributes',/,5X,'for LINK ID ',F8.1,' - ',F8.1,':',/,47X,'   "
    "Current     Changed',/,47X,' Attributes  Attributes ',/,5X,'Element ID: 1=Pipe; 2=Box; "
    "3=Channel.......[',2X,I2,2X,']',10(' '),/,5X,'Element Diameter/Height (ft)...............[',F6.2,']',10(' '),/,"
    "5X,'Element Base Width (ft)....................[',F6.2,']',10(' '),/,5X,'Element Side Slope "
    "(Horizontal/Vertical).. [',F6.2,']',10(' '),/,5X,'Element Friction Factor................... "
    "[',F6.4,']',10(' '),/,5X,'Channel Freeboard (ft).....................[',F6.2,']',10(' '))";
constexpr std::string_view NO_PRIMARY_ELEMENT_FORMAT =
    "('This LINK does NOT have a MPD PRIMARY Flow Element.',/,5X,'There is Nothing available to change!')";
constexpr std::string_view PRIMARY_HISTORY_HEADINGS_FORMAT =
    "(5X,'Link Primary System Data (Previous)/Current:',/,22X,'System  Diam./   Base-    Side-   Manning  Free-',/,"
    "9X,'Link ID       Type   Height   Width    Slope   Factor   board')";
constexpr std::string_view PRIMARY_HISTORY_BLOCK_FORMAT =
    "(5X,66('-'),/,4X,F8.1,'-',F8.1,2X,'(',I2,')  (',F6.2,') (',F6.2,') (',F5.2,') (',F6.4,') (',F5.1,')',/,4X,'  "
    "Current Data      ',I2,'    ',F6.2,'   ',F6.2,'   ',F5.2,'   ',F6.4,'   ',F5.1)";

constexpr int PIPE = static_cast<int>(ElementType::Pipe);

// Rows and allowable ranges of the five values, in the order they are asked.
struct ElementField {
    int row;
    float low, high;
};
constexpr ElementField ELEMENT_FIELDS[5] = {
    {16, 0.1f, 999.0f},    // H: diameter or height (ft)
    {17, 0.0f, 999.0f},    // W: base width (ft)
    {18, 0.0f, 999.0f},    // Z: side slope
    {19, 0.001f, 0.999f},  // n: Manning friction factor
    {20, 0.0f, 100.0f},    // F: channel freeboard (ft)
};

}  // namespace

std::vector<std::string> link_primary_element_history_headings()
{
    return Format(PRIMARY_HISTORY_HEADINGS_FORMAT).write({});
}

LinkEditStep edit_link_primary_element(EditorContext& context, LinkRecord& record)
{
    Window& window = context.window();
    if (record.element_type() == 0) {
        write_form(window, 5, 15, NO_PRIMARY_ELEMENT_FORMAT);
        return {LinkEditOutcome::NoEditableElement, {}};
    }
    const bool pipe = record.element_type() == PIPE;
    // A pipe shows no base width: the column holds its number of pipes.
    if (pipe) record.element_base_width() = 0.0f;

    std::array<float, 5> typed{};
    for (bool complete = false; !complete;) {
        write_form(window, 5, 11, PRIMARY_ELEMENT_SCREEN_FORMAT,
                   {record.upstream_node(), record.downstream_node(), record.element_type(), record.element_height(),
                    record.element_base_width(), record.element_side_slope(), record.element_friction_factor(),
                    record.channel_freeboard()});
        show_command_footer(window, CommandSet::ExitTop);
        write_at(window, 11, 23, NEXT_LINK_HINT, LineEnd::StayOnLine);
        write_form(window, ENTRY_FIELD_COLUMN, 15, "(I1,$)", {record.element_type()});
        complete = true;
        for (std::size_t k = 0; k < typed.size(); ++k) {
            const ElementField& field = ELEMENT_FIELDS[k];
            const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, field.row, FieldKind::Real,
                                                        field.low, field.high, 0.0f, CommandSet::ExitTop, false);
            if (entry.result == EntryResult::ExitRequested) return {LinkEditOutcome::EditAbandoned, {}};
            if (entry.result == EntryResult::TopRequested) {
                complete = false;
                break;
            }
            typed[k] = entry.value;
        }
    }
    const auto [height, width, side_slope, friction, freeboard] = typed;

    const int previous_type = record.element_type();
    const std::array<float, 5> previous{record.element_height(), record.element_base_width(),
                                        record.element_side_slope(), record.element_friction_factor(),
                                        record.channel_freeboard()};
    record.element_height() = height;
    record.element_base_width() = pipe ? 1.0f : width;  // one pipe
    record.element_side_slope() = side_slope;
    record.element_friction_factor() = friction;
    record.channel_freeboard() = freeboard;
    if (pipe) {
        context.buffer.edit_values = {0.0f, height * INCHES_PER_FOOT, 0.0f, friction, 0.0f};
    } else {
        context.buffer.edit_values = {height, width, side_slope, friction, freeboard};
    }

    LinkEditStep step{LinkEditOutcome::EditCommitted, {}};
    step.history_block =
        Format(PRIMARY_HISTORY_BLOCK_FORMAT)
            .write({record.upstream_node(), record.downstream_node(), previous_type, previous[0], previous[1],
                    previous[2], previous[3], previous[4], record.element_type(), record.element_height(),
                    pipe ? 0.0f : record.element_base_width(), record.element_side_slope(),
                    record.element_friction_factor(), record.channel_freeboard()});
    return step;
}

}  // namespace velm
