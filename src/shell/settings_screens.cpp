#include "shell/settings_screens.h"

#include <cmath>
#include <optional>
#include <type_traits>
#include <vector>

#include "records/format.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// Screen texts, each written from its screen's cursor position with the
// listed values.  A prompt row ends in "===>" or "==>" at column 61; the value
// behind it stands in the entry field at column 62, where the answer is typed.

// FRICTION SLOPE ESTIMATION (values: friction_slope_model)
constexpr std::string_view FRICTION_SLOPE_ESTIMATION_FORMAT =
    "('FRICTION SLOPE ESTIMATION:'//"
    "5X,'Enter FRICTION-SLOPE MODEL NUMBER to be used for estimating the'/"
    "5X,'normal depth (or pressure flow) ','friction-slope, Sf, for each link.'/"
    "5X,'(Note: YOUR selected Sf model will be used as a parameter to',' model'/"
    "5X,'existing system elements and also for sizing',' new system elements.)'//"
    "7X,'1 = Use topographic slope, constrained by a DEFAULT MINIMUM',' slope'/"
    "7X,'2 = Use Balanced HGL Estimation Module results as the'/"
    "11X,'approximation of the friction-slope'/"
    "7X,'3 = Use OPTION #1, EXCEPT use User-Specified slopes'/11X,'whenever available'/"
    "7X,'4 = Use OPTION #2, EXCEPT use User-Specified slopes'/11X,'whenever available'/"
    "7X,'5 = N/A'/7X,'6 = N/A'/7X,'7 = N/A'/7X,'8 = N/A'/"
    "5X,'Enter Friction-Slope Model NUMBER.................. ===>',I1)";

// MINIMUM FRICTION SLOPE (values: default_min_friction_slope)
constexpr std::string_view MINIMUM_FRICTION_SLOPE_FORMAT =
    "('MINIMUM FRICTION SLOPE:'//"
    "5X,'Enter DEFAULT Minimum Friction-Slope, Sf...........',' ===>',F6.4/"
    "5X,':ALLOWABLE VALUES ARE [0.0003] TO [0.0100]')";

// HGL ENVELOPE SETTINGS (values: min_velocity, envelope_min_friction_slope, envelope_manning_n)
constexpr std::string_view HGL_ENVELOPE_SETTINGS_FORMAT =
    "('HGL ENVELOPE SETTINGS:'//5X,'Enter Minimum Allowable Flow Velocity for'/"
    "5X,'Peak flow rate(fps)................................ ===>',F5.2/"
    "5X,':ALLOWABLE VALUES ARE [2.00] TO [10.00]'//"
    "5X,'Enter Minimum Allowable Friction-Slope, Sf......... ===>',F6.4/"
    "5X,':ALLOWABLE VALUES ARE [0.0002] TO [0.0500]'//"
    "5X,'Enter Manning''s Friction Factor to be used to estimate'/"
    "5X,'HGL Envelopes...................................... ===>',F6.4/"
    "5X,':ALLOWABLE VALUES ARE [0.01] TO [0.04]'/"
    "5X,'(Note: Above values will be used to Define TOP and BOTTOM'/"
    "6X,'HGL Envelopes for each STRING)')";

// TOPOGRAPHY-HGL CLEARANCE (values: min_clearance, max_clearance, min_clearance + 1.0, 500.0)
constexpr std::string_view CLEARANCE_FORMAT =
    "('TOPOGRAPHY-HGL CLEARANCE:'//"
    "5X,'Enter Minimum Allowable Clearance(feet) Between',' topography'/"
    "5X,'and HGL/Soffit..................................... ===>',F5.2/"
    "5X,':ALLOWABLE VALUES ARE [0.00] TO [10.00]'//"
    "5X,'Enter Maximum Allowable Clearance(feet) Between topography'/"
    "5X,'and HGL/Soffit..................................... ===>',F6.2/"
    "5X,':ALLOWABLE VALUES ARE [',F6.2,'] TO [',F6.2,']')";

// HYDRAULIC CONTROL SETTING (values: hydraulic_control_model)
constexpr std::string_view HYDRAULIC_CONTROL_SETTING_FORMAT =
    "('HYDRAULIC CONTROL SETTING:'//"
    "5X,'Enter HYDRAULIC CONTROL MODEL NUMBER to be used to define'/"
    "5X,'the Downstream HGL Control for each system Trunk Line.'/"
    "5X,'(This PROGRAM will use HGL estimates at confluence'/"
    "5X,'points to estimate HGL controls for branch lines).','. ===>',I1//"
    "7X,'1 = use TOP HGL ENVELOPE, at downstream node of TRUNK LINE',' string,'/"
    "11X,'minus an offset, to define downstream Hydraulic Control.'/"
    "7X,'2 = User defines Downstream HGL CONTROL for each system',' Trunk Line.'/"
    "7X,'3 = N/A'/7X,'4 = N/A'/7X,'5 = N/A'/7X,'6 = N/A'/7X,'7 = N/A')";

// offset (HYDRAULIC CONTROL SETTING, model 1, from column 5 of row 17) (values: hgl_control_offset, the upper bound)
constexpr std::string_view CONTROL_OFFSET_FORMAT =
    "('Enter OFFSET (feet) to define downstream Hydraulic'/"
    "5X,'Control for each string............................ ===>',F6.2/"
    "5X,':ALLOWABLE VALUES ARE [ 0.01] TO [',F6.2,']')";

// TRUNK LINE HYDRAULIC CONTROLS, heading (values: hgl_control_count)
constexpr std::string_view TRUNK_LINE_HEADING_FORMAT =
    "('TRUNK LINE HYDRAULIC CONTROLS:'//"
    "5X,'YOU also need to define HYDRAULIC CONTROLS for the'/"
    "5X,'DOWNSTREAM NODE of each SYSTEM OUTLET. (Otherwise, the'/"
    "5X,'WSPG based program assumes Critical Depth)'/"
    "5X,'There are [',I3,'] system outlets identified.')";

// TRUNK LINE HYDRAULIC CONTROLS, entry (from column 5 of row 7) (values: k, hgl_control_count, node number, elevation)
constexpr std::string_view TRUNK_LINE_ENTRY_FORMAT =
    "(' System [',I3,'] of [',I3,']'/"
    "5X,'Enter the HGL Control Elevation for NODE [',F8.1,']. ==>',F8.2/"
    "5X,':ALLOWABLE VALUES BETWEEN [-9999.9] AND [9999.9]')";

// SELECTING THE MAINSTREAM BRANCH AT A CONFLUENCE (values: mainstream_selection)
constexpr std::string_view MAINSTREAM_SELECTION_FORMAT =
    "('SELECTING THE MAINSTREAM BRANCH AT A CONFLUENCE:'//"
    "5X,'At a confluence, several upstream branches merge into',' one outlet.'/"
    "5X,'In order to choose which branch is the MAIN-LINE, YOU'/"
    "5X,'need to select the MODEL NUMBER to be used......... ===>',I1//"
    "7X,'1 = Select BRANCH that has the LARGEST PEAK FLOW RATE'/7X,'2 = N/A'/7X,'3 = N/A'/"
    "7X,'4 = N/A'/7X,'5 = N/A')";

// PIPE CAPACITY ESTIMATION SETTINGS (values: pipe_capacity_model)
constexpr std::string_view PIPE_CAPACITY_FORMAT =
    "('PIPE CAPACITY ESTIMATION SETTINGS:'//"
    "5X,'Select MODEL NUMBER for sizing new pipe elements',' and'/"
    "5X,'for estimating existing pipe element flow capacities'/5X,'(e.g., for each link)'//"
    "7X,'1 = Size pipe elements flowing at full flow capacity'/"
    "11X,'(or 0.82*Diameter as normal depth)'/"
    "7X,'2 = Size pipe elements flowing at ','0.93*Diameter as normal depth'/7X,'3 = N/A'/"
    "7X,'4 = N/A'/7X,'5 = N/A'/7X,'6 = N/A'/7X,'7 = N/A'/7X,'8 = N/A'//"
    "5X,'Enter MODEL NUMBER................................. ===>',I1)";

// PIPE "Bubble-out" SETTINGS (values: capacity_telescoping)
constexpr std::string_view PIPE_BUBBLE_OUT_FORMAT =
    "('PIPE \"Bubble-out\" SETTINGS:'//"
    "5X,'Select PIPE element FLOW ','CAPACITY sizing constraints ==>',I1//"
    "7X,'1 = On a STRING BASIS, size each PIPE element to have a',' flow'/"
    "11X,'capacity ','(or normal depth flow rate) greater than or'/"
    "11X,'equal to ','upstream elements'' target flow rate'/"
    "11X,'(i.e., including',' the estimated target deficiency mitigation)'/"
    "11X,'(Note: In order to perform WSPG-based hydraulics,'/"
    "11X,'telescoping for increasing flow rates must be completed.)'/"
    "7X,'2 = Size each PIPE element independent of the'/"
    "11X,'upstream element (e.g., ALLOW \"bubble-up\" systems)'/7X,'3 = N/A'/7X,'4 = N/A'/"
    "7X,'5 = N/A')";

// TELESCOPING SETTINGS (Page 1) (values: pipe_area_telescoping)
constexpr std::string_view TELESCOPING_PAGE_1_FORMAT =
    "('TELESCOPING SETTINGS (Page 1):'//"
    "5X,'Select PIPE element SIZE constraints',15('.'),' ===>',I1/"
    "5X,'(Note: this Telescoping module only analyzes Links'/"
    "5X,'on a STRING BASIS.  At a confluence, or Junction of'/"
    "5X,'Branch lines, only the MAIN LINE is considered in this'/5X,'Telescoping analysis)'//"
    "7X,'1 = Size each PIPE element to have a cross-section'/"
    "11X,'area greater than or equal to the UPSTREAM Pipe''s'/11X,'cross-section area.'/"
    "11X,'(e.g., do NOT allow reduction in cross-section area)'/"
    "7X,'2 = Size each PIPE element independent of the'/11X,'Upstream Element.'/"
    "11X,'(e.g., allow reduction in cross-section area)'/7X,'3 = N/A'/7X,'4 = N/A'/"
    "7X,'5 = N/A')";

// TELESCOPING SETTINGS (Page 2) (values: existing_element_telescoping)
constexpr std::string_view TELESCOPING_PAGE_2_FORMAT =
    "('TELESCOPING SETTINGS (Page 2):'/"
    "4X,'Select OPTION regarding telescoping EXISTING ELEMENTs ==>',I1/"
    "7X,'1 = Apply above telescoping rules to EXISTING PIPEs'/"
    "11X,'(i.e., replace Existing Pipes even if they are Estimated'/"
    "11X,'to NOT be deficient).'/"
    "7X,'2 = Do NOT Apply above telescoping rules to',' EXISTING PIPEs'/"
    "11X,'(i.e., if Existing Pipes are estimated to NOT be',' deficient'/"
    "11X,'and even though they do NOT satisfy YOUR',' telescoping rules,'/"
    "11X,'they will be RETAINED in the system).'/"
    "11X,'Note: in this MODEL, downstream new pipe elements will be'/"
    "11X,'telescoped with respect to the retained Existing',' Pipe.'/"
    "7X,'3 = Same as OPTION #2, except that new pipe elements located'/"
    "11X,'downstream of retained Existing Pipe elements will be'/"
    "11X,'telescoped as though the Existing Pipe elements had been'/"
    "11X,'telescoped (i.e., this models an anticipated future'/"
    "11X,'telescoped pipe when all RETAINED existing pipe',' elements'/"
    "11X,'are eventually replaced).'/"
    "7X,'4 = Same as OPTION #3, EXCEPT, use the maximum of the Existing'/"
    "11X,'Pipe or Future (New) Pipe, in Telescoping Downstream Pipe'/"
    "11X,'Elements (i.e., this OPTION may be consistent with both'/"
    "11X,'Future and Retained Existing Pipe Elements).')";

// PIPEFLOW HYDRAULICS SETTINGS (values: min_pipe_diameter, friction_slope_proportion)
// The lowest proportion shown is about the lowest the control file keeps
// above 0.00 (min_friction_slope_proportion).
constexpr std::string_view PIPEFLOW_HYDRAULICS_FORMAT =
    "('PIPEFLOW HYDRAULICS SETTINGS:'/"
    "5X,'Enter MINIMUM ALLOWABLE Pipe DIAMETER(inches)...... ===>',F3.0/"
    "5X,':ALLOWABLE VALUES ARE [6] TO [60]'//"
    "5X,'The PROGRAM estimates pipe sizes using Manning''s equation,'/"
    "5X,'with the friction slope set equal to the Value estimated by'/"
    "5X,'YOUR selected Friction Slope Modeling Option.  The PROGRAM'/"
    "5X,'next upsizes to a CONSTRUCTABLE pipe size.  The USER can'/"
    "5X,'specify a proportion of the Estimated Friction Slope to be'/"
    "5X,'used for the pipeflow friction slope.'/5X,'(SUGGESTION:'/"
    "8X,'Use [.95] for pipesystems with FEW minor losses'/"
    "8X,'Use [.85] for pipesystems with CONSIDERABLE minor losses)'//"
    "5X,'Enter proportion of the Estimated Friction Slope to be used'/"
    "5X,'for the pipeflow friction slope(DECIMAL)........... ===>',F5.3/"
    "5X,':ALLOWABLE VALUES ARE [.006] TO [1.00]'/"
    "5X,'Note: this PROPORTION factor will also be used in sizing BOXes,'/"
    "5X,'but NOT open CHANNELs.')";

// "TOTAL FLOW PICKUP" PIPE SIZING SETTINGS (values: pipe_flow_rate)
constexpr std::string_view TOTAL_FLOW_PICKUP_FORMAT =
    "('\"TOTAL FLOW PICKUP\" PIPE SIZING SETTINGS:'//"
    "5X,'Pipe systems are sized according to Rules'/"
    "5X,'selected by YOU.  YOU need to specify what Flow Rate is to'/"
    "5X,'be used by the PROGRAM in Sizing System Elements.'//"
    "7X,'1 = Use Link Upstream Node Peak Flow Rate'/"
    "7X,'2 = Use Link Downstream Node Peak Flow Rate'/"
    "7X,'3 = Use AVERAGE of OPTIONs 1 and 2'/7X,'4 = Use MAXIMUM of OPTIONs 1 and 2'/"
    "7X,'5 = N/A'/7X,'6 = N/A'/7X,'7 = N/A'/7X,'8 = N/A'//"
    "5X,'Enter Option NUMBER................................ ===>',I1)";

// ELEMENT "CONSTRUCTIBLE" SIZING SETTINGS (values: sizing_increment)
constexpr std::string_view CONSTRUCTIBLE_SIZING_FORMAT =
    "('ELEMENT \"CONSTRUCTIBLE\" SIZING SETTINGS:'//"
    "5X,'For BOXES and CHANNELS, the Computer-Estimated DIMENSION can be'/"
    "5X,'increased to meet USER-SPECIFIED increments.'//"
    "5X,'Select Sizing Increment Option',21('.'),' ===>',I1/"
    "5X,'1 = Do Not Modify Computer-Estimated DIMENSIONs'//"
    "5X,'INCREASE Computer-Estimated DIMENSIONs to nearest:'/11X,'2 = 0.25 FT'/"
    "11X,'3 = 0.50 FT'/11X,'4 = 1.00 FT')";

// BOX/CHANNEL SIZING SETTINGS (Page 1) (values: box_channel_flow_rate)
constexpr std::string_view BOX_CHANNEL_SIZING_FORMAT =
    "('BOX/CHANNEL SIZING SETTINGS (Page 1):'//"
    "5X,'Boxes and Open Channels are sized according to Rules'/"
    "5X,'selected by YOU.  YOU need to specify what Flow Rate is to'/"
    "5X,'be used by the PROGRAM in Sizing System Elements.'//"
    "7X,'1 = Use Link Upstream Node Peak Flow Rate'/"
    "7X,'2 = Use Link Downstream Node Peak Flow Rate'/"
    "7X,'3 = Use AVERAGE of OPTIONs 1 and 2'/7X,'4 = Use MAXIMUM of OPTIONs 1 and 2'/"
    "7X,'5 = N/A'/7X,'6 = N/A'/7X,'7 = N/A'/7X,'8 = N/A'//"
    "5X,'Enter Option NUMBER................................ ===>',I1)";

// BOX Element TELESCOPING SETTINGS (values: box_area_telescoping)
constexpr std::string_view BOX_TELESCOPING_FORMAT =
    "('BOX Element TELESCOPING SETTINGS:'//"
    "5X,'Select BOX element Telescoping constraints',9('.'),' ===>',I1/"
    "5X,'(Note: this Telescoping module only analyzes Links'/"
    "5X,'on a STRING BASIS.  At a confluence, or Junction of'/"
    "5X,'Branch lines, only the MAIN LINE is considered in this'/5X,'Telescoping analysis)'//"
    "5X,'N/A = Size each Box element to have a cross-section'/"
    "11X,'area greater than or equal to the upstream '/"
    "11X,'element''s cross-section flow area (with freeboard, if defined).'/"
    "11X,'(e.g., do NOT allow reduction in cross-section flow area)'/"
    "7X,'2 = Size each Box element independent of the'/11X,'upstream element.'/"
    "11X,'(e.g., allow reduction in cross-section flow area)'/7X,'3 = N/A'/7X,'4 = N/A'/"
    "7X,'5 = N/A')";

// CHANNEL Element TELESCOPING SETTINGS (values: channel_area_telescoping)
constexpr std::string_view CHANNEL_TELESCOPING_FORMAT =
    "('CHANNEL Element TELESCOPING SETTINGS:'//"
    "5X,'Select CHANNEL element Telescoping constraints',5('.'),' ===>',I1/"
    "5X,'(Note: this Telescoping module only analyzes Links'/"
    "5X,'on a STRING BASIS.  At a confluence, or Junction of'/"
    "5X,'Branch lines, only the MAIN LINE is considered in this'/5X,'Telescoping analysis)'//"
    "5X,'N/A = Size each Channel element to have a cross-section'/"
    "11X,'flow area greater than or equal to the upstream '/"
    "11X,'element''s cross-section flow area.'/"
    "11X,'(e.g., do NOT allow reduction in cross-section flow area)'/"
    "7X,'2 = Size each Channel element independent of the'/11X,'upstream element.'/"
    "11X,'(e.g., allow reduction in cross-section flow area)'/7X,'3 = N/A'/7X,'4 = N/A'/"
    "7X,'5 = N/A')";

// ELEMENT INTERFACING (values: element_interfacing)
constexpr std::string_view ELEMENT_INTERFACING_FORMAT =
    "('ELEMENT INTERFACING:'//5X,'Select PIPE/BOX/CHANNEL element'/"
    "5X,'Telescoping INTERFACE constraints',18('.'),' ===>',I1/"
    "5X,'(Note: this Telescoping module only analyzes Links'/"
    "5X,'on a STRING BASIS.  At a confluence, or Junction of'/"
    "5X,'Branch lines, only the MAIN LINE is considered in this'/5X,'Telescoping analysis)'//"
    "7X,'1 = Do NOT Telescope at INTERFACE between PIPE/BOX/CHANNEL'/"
    "11X,'elements (e.g., do NOT telescope PIPE/BOX, PIPE/CHANNEL,'/"
    "11X,'and BOX/CHANNEL interfaces).'/"
    "5X,'N/A = Telescope at PIPE/BOX/CHANNEL Element Interfaces'/"
    "11X,'(i.e., Estimate Downstream Element Sizing Dimension to'/"
    "12X,'achieve flow area greater than or equal to Upstream Element'/12X,'flow area).'/"
    "7X,'3 = N/A'/7X,'4 = N/A'/7X,'5 = N/A')";

constexpr std::string_view ACCEPT_DEFAULTS_NOTE_FORMAT = "('* Note: Press Enter Key to ACCEPT default values. *')";
constexpr std::string_view CLEARANCE_BOUND_FORMAT = "(F6.2)";
constexpr std::string_view CONTROL_LIST_HEADING_FORMAT = "('Node No.      HGL')";
constexpr std::string_view CONTROL_LIST_ROW_FORMAT = "(F8.1,4X,F7.2)";
constexpr std::string_view CONTROL_LIST_ERASE_FORMAT = "(72(' '))";
constexpr std::string_view BACK_ONE_ENTRY_FORMAT = "('BACK to go back one entry')";

constexpr int FORM_COLUMN = 5;
constexpr int NOTE_ROW = 20;

constexpr float MAX_CLEARANCE_LIMIT = 500.0f;       // ft
constexpr float CONTROL_ELEVATION_LIMIT = 9999.9f;  // ft, either sign

// The proportion is kept in the control file with two decimals: the smallest
// entry taken is the smallest float that does not round to 0.00 there, so
// that no accepted proportion comes back from the file as 0.
float min_friction_slope_proportion()
{
    static const float smallest = std::nextafter(0.005f, 1.0f);
    return smallest;
}

enum class Screen {
    FrictionSlopeEstimation,
    MinimumFrictionSlope,
    HglEnvelope,
    Clearance,
    HydraulicControl,
    TrunkLineControls,
    Mainstream,
    PipeCapacity,
    PipeBubbleOut,
    TelescopingPage1,
    TelescopingPage2,
    PipeflowHydraulics,
    TotalFlowPickup,
    ConstructibleSizing,
    BoxChannelSizing,
    BoxTelescoping,
    ChannelTelescoping,
    ElementInterfacing,
};

// How the user left a screen.
enum class Leave { Next, Back, Exit };

// The reply to one entry.
enum class Reply { Stored, Kept, Exit, Top, Back };

// An option takes the integer part of the accepted number.
template <typename Option>
Option option_from(float value)
{
    return static_cast<Option>(static_cast<int>(value));
}

// One entry of a screen: its row, what it accepts and the setting it edits.
struct Entry {
    int row = 0;
    FieldKind kind = FieldKind::Real;
    float low = 0.0f;
    float high = 0.0f;
    float (*current)(const ControlParameters&) = nullptr;
    void (*store)(ControlParameters&, float) = nullptr;
    // An empty answer keeps the shown value only when it lies within the
    // range, for settings that the steps after cannot work with otherwise.
    bool kept_must_fit = false;
};

// A screen with fixed entries.
struct ScreenForm {
    std::string_view layout;
    int row = 1;       // first text row; the text starts at FORM_COLUMN
    bool note = true;  // the accept-defaults note on NOTE_ROW
    std::vector<FormatValue> (*values)(const ControlParameters&) = nullptr;
    std::vector<Entry> entries;
    void (*force)(ControlParameters&) = nullptr;  // a setting fixed before drawing
};

void draw_frame(Window& window, std::string_view layout, int row, const std::vector<FormatValue>& values, bool note)
{
    clear_screen(window);
    write_form(window, FORM_COLUMN, row, layout, values);
    if (note) write_form(window, FORM_COLUMN, NOTE_ROW, ACCEPT_DEFAULTS_NOTE_FORMAT, {});
    show_command_footer(window, CommandSet::ExitTopBack);
}

Reply reply_to(const NumberEntry& entry)
{
    switch (entry.result) {
        case EntryResult::ValueEntered:
            return Reply::Stored;
        case EntryResult::DefaultAccepted:
            return Reply::Kept;
        case EntryResult::ExitRequested:
            return Reply::Exit;
        case EntryResult::TopRequested:
            return Reply::Top;
        case EntryResult::BackRequested:
            return Reply::Back;
    }
    return Reply::Exit;
}

// Asks one entry; an accepted number is stored at once, an empty answer
// keeps the shown value.  A kept value that must fit and does not is refused
// like a typed one.
Reply ask(Window& window, const Entry& entry, ControlParameters& parameters)
{
    bool kept_value_refused = false;
    for (;;) {
        const NumberEntry answer =
            read_number_field(window, ENTRY_FIELD_COLUMN, entry.row, entry.kind, entry.low, entry.high,
                              entry.current(parameters), CommandSet::ExitTopBack, true);
        const Reply reply = reply_to(answer);
        if (reply == Reply::Kept && entry.kept_must_fit) {
            const float kept = entry.current(parameters);
            if (!(kept >= entry.low && kept <= entry.high)) {
                show_input_error(window, InputError::OutOfRange, entry.row, kept_value_refused);
                continue;
            }
        }
        if (reply == Reply::Stored) entry.store(parameters, answer.value);
        if ((reply == Reply::Stored || reply == Reply::Kept) && kept_value_refused) {
            clear_input_error(window, entry.row, kept_value_refused);
        }
        return reply;
    }
}

Leave run_screen(Window& window, const ScreenForm& form, ControlParameters& parameters)
{
    for (;;) {  // TOP comes back here
        if (form.force != nullptr) form.force(parameters);
        draw_frame(window, form.layout, form.row, form.values(parameters), form.note);
        bool top = false;
        for (const Entry& entry : form.entries) {
            const Reply reply = ask(window, entry, parameters);
            if (reply == Reply::Exit) return Leave::Exit;
            if (reply == Reply::Back) return Leave::Back;
            if (reply == Reply::Top) {
                top = true;
                break;
            }
        }
        if (!top) return Leave::Next;
    }
}

// The number an entry shows and offers for a setting: a real as it is, an
// option by its number.
template <auto Member>
float current_number(const ControlParameters& p)
{
    const auto setting = p.*Member;
    if constexpr (std::is_enum_v<decltype(setting)>) {
        return float(option_code(setting));
    } else {
        return setting;
    }
}

// Stores an accepted number in a setting: a real as typed, an option by the
// integer part.
template <auto Member>
void store_number(ControlParameters& p, float value)
{
    using Setting = std::remove_cvref_t<decltype(p.*Member)>;
    if constexpr (std::is_enum_v<Setting>) {
        p.*Member = option_from<Setting>(value);
    } else {
        p.*Member = value;
    }
}

FormatValue shown_value(float setting)
{
    return setting;
}

template <typename Option>
FormatValue shown_value(Option option)
{
    return option_code(option);
}

// The values a screen's layout shows, in its order: reals as they are,
// options by their number.
template <auto... Members>
std::vector<FormatValue> shown_values(const ControlParameters& p)
{
    return {shown_value(p.*Members)...};
}

// The entry on a row for one setting.
template <auto Member>
Entry setting_entry(int row, FieldKind kind, float low, float high, bool kept_must_fit = false)
{
    return {row, kind, low, high, current_number<Member>, store_number<Member>, kept_must_fit};
}

// A screen that shows one setting and asks it on entry_row.
template <auto Member>
ScreenForm one_setting_screen(std::string_view layout, int row, int entry_row, FieldKind kind, float low, float high)
{
    return {layout, row, true, shown_values<Member>, {setting_entry<Member>(entry_row, kind, low, high)}, nullptr};
}

// A screen that offers a single option: it is set before the screen is
// drawn, and it is the only number the entry takes.
template <auto Member, auto Only>
ScreenForm single_option_screen(std::string_view layout, int row, int entry_row)
{
    const float only = float(option_code(Only));
    ScreenForm form = one_setting_screen<Member>(layout, row, entry_row, FieldKind::Whole, only, only);
    form.force = [](ControlParameters& p) { p.*Member = Only; };
    return form;
}

// The screens whose entries are fixed.
ScreenForm fixed_screen(Screen screen)
{
    using P = ControlParameters;
    constexpr FieldKind WHOLE = FieldKind::Whole;
    constexpr FieldKind REAL = FieldKind::Real;
    switch (screen) {
        case Screen::FrictionSlopeEstimation:
            return one_setting_screen<&P::friction_slope_model>(FRICTION_SLOPE_ESTIMATION_FORMAT, 1, 19, WHOLE, 1.0f,
                                                                4.0f);
        case Screen::MinimumFrictionSlope:
            return one_setting_screen<&P::default_min_friction_slope>(MINIMUM_FRICTION_SLOPE_FORMAT, 3, 5, REAL,
                                                                      0.0003f, 0.0100f);
        case Screen::HglEnvelope:
            return {HGL_ENVELOPE_SETTINGS_FORMAT,
                    2,
                    true,
                    shown_values<&P::min_velocity, &P::envelope_min_friction_slope, &P::envelope_manning_n>,
                    {setting_entry<&P::min_velocity>(5, REAL, 2.0f, 10.0f),
                     setting_entry<&P::envelope_min_friction_slope>(8, REAL, 0.0002f, 0.05f),
                     setting_entry<&P::envelope_manning_n>(12, REAL, 0.01f, 0.04f)},
                    nullptr};
        case Screen::Mainstream:
            return one_setting_screen<&P::mainstream_selection>(MAINSTREAM_SELECTION_FORMAT, 3, 7, WHOLE, 1.0f, 1.0f);
        case Screen::PipeCapacity:
            return one_setting_screen<&P::pipe_capacity_model>(PIPE_CAPACITY_FORMAT, 1, 17, WHOLE, 1.0f, 2.0f);
        case Screen::PipeBubbleOut:
            return one_setting_screen<&P::capacity_telescoping>(PIPE_BUBBLE_OUT_FORMAT, 1, 3, WHOLE, 1.0f, 2.0f);
        case Screen::TelescopingPage1:
            return one_setting_screen<&P::pipe_area_telescoping>(TELESCOPING_PAGE_1_FORMAT, 1, 3, WHOLE, 1.0f, 2.0f);
        case Screen::TelescopingPage2: {
            ScreenForm form = one_setting_screen<&P::existing_element_telescoping>(TELESCOPING_PAGE_2_FORMAT, 1, 2,
                                                                                   WHOLE, 1.0f, 4.0f);
            form.note = false;  // the page fills the rows down to the message row
            return form;
        }
        case Screen::PipeflowHydraulics:
            return {
                PIPEFLOW_HYDRAULICS_FORMAT,
                1,
                true,
                shown_values<&P::min_pipe_diameter, &P::friction_slope_proportion>,
                {setting_entry<&P::min_pipe_diameter>(2, WHOLE, 6.0f, 60.0f),
                 // A proportion of 0 would size every pipe for no friction slope.
                 setting_entry<&P::friction_slope_proportion>(16, REAL, min_friction_slope_proportion(), 1.0f, true)},
                nullptr};
        case Screen::TotalFlowPickup:
            // A real entry of which the integer part is the option: 2.7 is 2.
            return one_setting_screen<&P::pipe_flow_rate>(TOTAL_FLOW_PICKUP_FORMAT, 1, 16, REAL, 1.0f, 4.0f);
        case Screen::ConstructibleSizing:
            return one_setting_screen<&P::sizing_increment>(CONSTRUCTIBLE_SIZING_FORMAT, 1, 6, WHOLE, 1.0f, 4.0f);
        case Screen::BoxChannelSizing:
            return one_setting_screen<&P::box_channel_flow_rate>(BOX_CHANNEL_SIZING_FORMAT, 1, 16, REAL, 1.0f, 4.0f);
        case Screen::BoxTelescoping:
            return single_option_screen<&P::box_area_telescoping, AreaTelescoping::IndependentSizing>(
                BOX_TELESCOPING_FORMAT, 1, 3);
        case Screen::ChannelTelescoping:
            return single_option_screen<&P::channel_area_telescoping, AreaTelescoping::IndependentSizing>(
                CHANNEL_TELESCOPING_FORMAT, 1, 3);
        case Screen::ElementInterfacing:
            return single_option_screen<&P::element_interfacing, ElementInterfacing::NoInterfaceTelescoping>(
                ELEMENT_INTERFACING_FORMAT, 1, 4);
        default:
            break;
    }
    return {};
}

// TOPOGRAPHY-HGL CLEARANCE: the range of the maximum clearance follows the
// minimum clearance just entered or kept.  A kept maximum outside that range
// is refused like a typed one, so that the offset range that follows is
// never empty.
Leave run_clearance_screen(Window& window, ControlParameters& p)
{
    constexpr int MIN_ROW = 6;
    constexpr int MAX_ROW = 10;
    constexpr int BOUND_ROW = 11;
    constexpr int LOW_BOUND_COLUMN = 29;
    constexpr int HIGH_BOUND_COLUMN = 41;
    const Entry min_entry = setting_entry<&ControlParameters::min_clearance>(MIN_ROW, FieldKind::Real, 0.0f, 10.0f);
    for (;;) {  // TOP comes back here
        draw_frame(window, CLEARANCE_FORMAT, 3,
                   {p.min_clearance, p.max_clearance, p.min_clearance + 1.0f, MAX_CLEARANCE_LIMIT}, true);
        Reply reply = ask(window, min_entry, p);
        if (reply == Reply::Exit) return Leave::Exit;
        if (reply == Reply::Back) return Leave::Back;
        if (reply == Reply::Top) continue;

        const float low = p.min_clearance + 1.0f;
        write_at(window, LOW_BOUND_COLUMN, BOUND_ROW, format_line(CLEARANCE_BOUND_FORMAT, {low}));
        write_at(window, HIGH_BOUND_COLUMN, BOUND_ROW, format_line(CLEARANCE_BOUND_FORMAT, {MAX_CLEARANCE_LIMIT}));
        const Entry max_entry =
            setting_entry<&ControlParameters::max_clearance>(MAX_ROW, FieldKind::Real, low, MAX_CLEARANCE_LIMIT, true);
        reply = ask(window, max_entry, p);
        if (reply == Reply::Exit) return Leave::Exit;
        if (reply == Reply::Back) return Leave::Back;
        if (reply == Reply::Top) continue;
        return Leave::Next;
    }
}

// HYDRAULIC CONTROL SETTING: the offset below the top envelope is asked only
// for the top-envelope model; its upper bound comes from the clearances as
// they stand when the screen is drawn.  A kept offset beyond that bound is
// refused like a typed one: the control it gives would lie below the bottom
// envelope of the clearances just set.
Leave run_hydraulic_control_screen(Window& window, ControlParameters& p)
{
    constexpr int MODEL_ROW = 6;
    constexpr int OFFSET_FORM_ROW = 17;
    constexpr int OFFSET_ROW = 18;
    const Entry model_entry =
        setting_entry<&ControlParameters::hydraulic_control_model>(MODEL_ROW, FieldKind::Whole, 1.0f, 2.0f);
    for (;;) {  // TOP comes back here
        draw_frame(window, HYDRAULIC_CONTROL_SETTING_FORMAT, 1, {option_code(p.hydraulic_control_model)}, true);
        const float upper = p.max_clearance - p.min_clearance - 0.01f;
        Reply reply = ask(window, model_entry, p);
        if (reply == Reply::Exit) return Leave::Exit;
        if (reply == Reply::Back) return Leave::Back;
        if (reply == Reply::Top) continue;
        if (p.hydraulic_control_model == HydraulicControlModel::TopEnvelopeControl) {
            write_form(window, FORM_COLUMN, OFFSET_FORM_ROW, CONTROL_OFFSET_FORMAT, {p.hgl_control_offset, upper});
            const Entry offset_entry =
                setting_entry<&ControlParameters::hgl_control_offset>(OFFSET_ROW, FieldKind::Real, 0.01f, upper, true);
            reply = ask(window, offset_entry, p);
            if (reply == Reply::Exit) return Leave::Exit;
            if (reply == Reply::Back) return Leave::Back;
            if (reply == Reply::Top) continue;
        }
        return Leave::Next;
    }
}

// The list of the controls before control k: at most ten, in two columns of
// five, the latest ten when there are more.
void show_control_list(Window& window, const HglControlTable& table, int k)
{
    constexpr int HEADING_ROW = 11;
    constexpr int LEFT_COLUMN = 9;
    constexpr int RIGHT_COLUMN = 35;
    const int m = k - 1;
    write_form(window, LEFT_COLUMN, HEADING_ROW, CONTROL_LIST_HEADING_FORMAT, {});
    if (m > 5) write_form(window, RIGHT_COLUMN, HEADING_ROW, CONTROL_LIST_HEADING_FORMAT, {});
    const int first = m > 10 ? m - 9 : 1;
    for (int j = first; j <= m; ++j) {
        const int slot = j - first;
        const HglControl& control = table.controls[static_cast<std::size_t>(j - 1)];
        write_form(window, slot < 5 ? LEFT_COLUMN : RIGHT_COLUMN, HEADING_ROW + 1 + slot % 5, CONTROL_LIST_ROW_FORMAT,
                   {control.node_number, control.elevation});
    }
}

// TRUNK LINE HYDRAULIC CONTROLS: the user reviews the elevation of every
// control in turn; an empty answer or 0 keeps it.
Leave run_trunk_line_controls(Window& window, HglControlTable& table)
{
    constexpr int ENTRY_FORM_ROW = 7;
    constexpr int ELEVATION_ROW = 8;
    constexpr int BACK_HINT_COLUMN = 35;
    const int count = table.count();
    for (;;) {  // TOP comes back here
        clear_screen(window);
        write_form(window, FORM_COLUMN, 1, TRUNK_LINE_HEADING_FORMAT, {count});
        int k = 1;
        bool top = false;
        while (!top) {
            HglControl& control = table.controls[static_cast<std::size_t>(k - 1)];
            write_form(window, FORM_COLUMN, ENTRY_FORM_ROW, TRUNK_LINE_ENTRY_FORMAT,
                       {k, count, control.node_number, control.elevation});
            write_form(window, FORM_COLUMN, NOTE_ROW, ACCEPT_DEFAULTS_NOTE_FORMAT, {});
            if (k == 1) show_command_footer(window, CommandSet::ExitTopBack);
            const NumberEntry answer =
                read_number_field(window, ENTRY_FIELD_COLUMN, ELEVATION_ROW, FieldKind::Real, -CONTROL_ELEVATION_LIMIT,
                                  CONTROL_ELEVATION_LIMIT, control.elevation, CommandSet::ExitTopBack, true);
            switch (reply_to(answer)) {
                case Reply::Exit:
                    return Leave::Exit;
                case Reply::Top:
                    top = true;
                    break;
                case Reply::Back:
                    --k;
                    if (k == 0) return Leave::Back;
                    if (k <= 10) {
                        write_form(window, FORM_COLUMN, k <= 5 ? k + 11 : k + 6, CONTROL_LIST_ERASE_FORMAT, {});
                    }
                    if (k > 1) show_control_list(window, table, k);
                    break;
                case Reply::Stored:
                    if (answer.value != 0.0f) control.elevation = answer.value;
                    [[fallthrough]];
                case Reply::Kept:
                    ++k;
                    if (k > count) return Leave::Next;
                    if (k == 2) write_form(window, BACK_HINT_COLUMN, 24, BACK_ONE_ENTRY_FORMAT, {});
                    show_control_list(window, table, k);
                    break;
            }
        }
    }
}

// The screen after this one; none after the last.
std::optional<Screen> next_screen(Screen screen, const ControlParameters& p, const HglControlTable& table)
{
    switch (screen) {
        case Screen::FrictionSlopeEstimation:
            return uses_balanced_hgl(p.friction_slope_model) ? Screen::HglEnvelope : Screen::MinimumFrictionSlope;
        case Screen::MinimumFrictionSlope:
            return Screen::Mainstream;
        case Screen::HglEnvelope:
            return Screen::Clearance;
        case Screen::Clearance:
            return Screen::HydraulicControl;
        case Screen::HydraulicControl:
            return p.hydraulic_control_model == HydraulicControlModel::UserDefinedControl && table.count() > 0
                       ? Screen::TrunkLineControls
                       : Screen::Mainstream;
        case Screen::TrunkLineControls:
            return Screen::Mainstream;
        case Screen::Mainstream:
            return Screen::PipeCapacity;
        case Screen::PipeCapacity:
            return Screen::PipeBubbleOut;
        case Screen::PipeBubbleOut:
            return Screen::TelescopingPage1;
        case Screen::TelescopingPage1:
            return Screen::TelescopingPage2;
        case Screen::TelescopingPage2:
            return Screen::PipeflowHydraulics;
        case Screen::PipeflowHydraulics:
            return Screen::TotalFlowPickup;
        case Screen::TotalFlowPickup:
            return Screen::ConstructibleSizing;
        case Screen::ConstructibleSizing:
            return Screen::BoxChannelSizing;
        case Screen::BoxChannelSizing:
            return Screen::BoxTelescoping;
        case Screen::BoxTelescoping:
            return Screen::ChannelTelescoping;
        case Screen::ChannelTelescoping:
            return Screen::ElementInterfacing;
        case Screen::ElementInterfacing:
            return std::nullopt;
    }
    return std::nullopt;
}

// Where BACK goes from a screen; none from the first (the control menu).
std::optional<Screen> back_screen(Screen screen, const ControlParameters& p)
{
    switch (screen) {
        case Screen::FrictionSlopeEstimation:
            return std::nullopt;
        case Screen::MinimumFrictionSlope:
            return Screen::FrictionSlopeEstimation;
        case Screen::HglEnvelope:
            return Screen::FrictionSlopeEstimation;
        case Screen::Clearance:
            return Screen::HglEnvelope;
        case Screen::HydraulicControl:
            return Screen::Clearance;
        case Screen::TrunkLineControls:
            return Screen::HydraulicControl;
        // The trunk-line review is skipped on the way back.
        case Screen::Mainstream:
            return uses_balanced_hgl(p.friction_slope_model) ? Screen::HydraulicControl : Screen::MinimumFrictionSlope;
        case Screen::PipeCapacity:
            return Screen::Mainstream;
        case Screen::PipeBubbleOut:
            return Screen::PipeCapacity;
        case Screen::TelescopingPage1:
            return Screen::PipeBubbleOut;
        case Screen::TelescopingPage2:
            return Screen::TelescopingPage1;
        case Screen::PipeflowHydraulics:
            return Screen::TelescopingPage2;
        case Screen::TotalFlowPickup:
            return Screen::PipeflowHydraulics;
        case Screen::ConstructibleSizing:
            return Screen::TotalFlowPickup;
        case Screen::BoxChannelSizing:
            return Screen::ConstructibleSizing;
        case Screen::BoxTelescoping:
            return Screen::BoxChannelSizing;
        case Screen::ChannelTelescoping:
            return Screen::BoxTelescoping;
        case Screen::ElementInterfacing:
            return Screen::ChannelTelescoping;
    }
    return std::nullopt;
}

Leave run_one_screen(Window& window, Screen screen, ControlParameters& p, HglControlTable& table)
{
    switch (screen) {
        case Screen::Clearance:
            return run_clearance_screen(window, p);
        case Screen::HydraulicControl:
            return run_hydraulic_control_screen(window, p);
        case Screen::TrunkLineControls:
            return run_trunk_line_controls(window, table);
        default:
            return run_screen(window, fixed_screen(screen), p);
    }
}

}  // namespace

SettingsOutcome run_settings_screens(Session& session, const std::string& /*study_id*/, ControlParameters& parameters,
                                     HglControlTable& controls)
{
    std::optional<Screen> screen = Screen::FrictionSlopeEstimation;
    SettingsOutcome outcome = SettingsOutcome::Answered;
    while (screen) {
        const Leave leave = run_one_screen(session.window, *screen, parameters, controls);
        if (leave == Leave::Exit) {
            outcome = SettingsOutcome::Left;
            break;
        }
        if (leave == Leave::Back) {
            screen = back_screen(*screen, parameters);
            if (!screen) outcome = SettingsOutcome::Left;
        } else {
            screen = next_screen(*screen, parameters, controls);
        }
    }
    return outcome;
}

}  // namespace velm
