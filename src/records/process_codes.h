// The process codes of the model-file groups and of the link and subarea
// records, by family.  Codes travel as reals; the code is the integer part.
// Several readers accept short forms and synonyms of a code, which
// canonical_process_code maps to the code of its family.
#pragma once

namespace velm {

inline constexpr int INITIAL_SUBAREA_CODE = 21;  // and 22: a subarea at a headwater node
inline constexpr int INITIAL_SUBAREA_ALT_CODE = 22;
inline constexpr int CONFLUENCE_CODE = 1;  // and 10, 11
inline constexpr int STORAGE_ELEMENT_CODE = 61;
inline constexpr int SEAM_NODE_CODE = 151;  // and 152: a node where two maps meet
inline constexpr int SEAM_NODE_ALT_CODE = 152;

// Codes 21 and 22: the initial subarea of a headwater.
constexpr bool is_initial_subarea_code(int code)
{
    return code == 21 || code == 22;
}
// Codes 81 and 82: a subarea added at a node downstream.
constexpr bool is_subarea_addition_code(int code)
{
    return code == 81 || code == 82;
}
// Codes 1, 10 and 11: a confluence of reaches.
constexpr bool is_confluence_code(int code)
{
    return code == 1 || code == 10 || code == 11;
}
// Codes 31 to 47: pipes, boxes and other closed conduits.
constexpr bool is_conduit_code(int code)
{
    return code >= 31 && code <= 47;
}
// Codes 51 to 56: open channels.
constexpr bool is_open_channel_code(int code)
{
    return code >= 51 && code <= 56;
}
// Codes 62 and 63: street-flow sections.
constexpr bool is_street_code(int code)
{
    return code == 62 || code == 63;
}
// Code 61: a storage element.
constexpr bool is_storage_element_code(int code)
{
    return code == STORAGE_ELEMENT_CODE;
}
// Codes 151 and 152: a seam node with its text record.
constexpr bool is_seam_code(int code)
{
    return code == 151 || code == 152;
}

// The code a reader takes a group's code for: the short forms 2, 3, 4, 5, 6,
// 8 and 15 stand for 21, 31, 41, 51, 61, 81 and 151; 48 is read as 46; 54
// and 57 as 51; 71 and 72 as 7; 91 and 92 as 9.  A group keeps the code it
// was written with: only the reading is mapped.
constexpr int canonical_process_code(int code)
{
    switch (code) {
        case 2:
            return 21;
        case 3:
            return 31;
        case 4:
            return 41;
        case 5:
            return 51;
        case 6:
            return 61;
        case 8:
            return 81;
        case 15:
            return 151;
        case 48:
            return 46;
        case 54:
            return 51;
        case 57:
            return 51;
        case 71:
        case 72:
            return 7;
        case 91:
        case 92:
            return 9;
        default:
            return code;
    }
}

// Codes 9, 91 and 92: a group of the code-9 family.
constexpr bool is_code9_family_code(int code)
{
    return canonical_process_code(code) == 9;
}

}  // namespace velm
