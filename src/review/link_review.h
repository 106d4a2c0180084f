// The link review: one run of main-menu option 2 for one review target.  The
// engineer names a link by its upstream and downstream node; the review finds
// the link's record in the link data base of its map, shows the computed or
// recommended values of the target (capacity, element size, friction slope,
// cost-opinion status, element type designation) and stores the value the
// engineer adopts or specifies in the link's record.  Each adopted change
// rewrites the whole link data base at once.  When element sizes or
// cost-opinion statuses were changed, the end of the run carries the
// adopted values into the records of the hydraulic strings, so that the
// telescoping results agree with the data base.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_change.h"
#include "shell/dialogue.h"
#include "shell/session.h"

namespace velm {

// The targets of the user-interface module's menu (options 1 to 5).
enum class ReviewTarget : int {
    CapacityReview = 1,
    SizeReview = 2,
    FrictionSlopeReview = 3,
    CostOpinionReview = 4,
    ElementTypeReview = 5,
};

// What the review of one target reports back to the frame.
enum class ReviewOutcome {
    NothingToReview,  // the target's message was shown and acknowledged
    Retained,         // the engineer kept the values: nothing is written
    Changed,          // the record in hand was updated: the data base is rewritten
    LeaveReview,      // EXIT in one of the target's screens
};

// A link whose element size or cost-opinion status was changed in a run,
// with the values its string records take at the end of the run.
struct ChangedLinkEntry {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    // Replace string values 29, 30, 31, 32 and 34 (type, height, width, side
    // slope, friction factor); after a cost-opinion change only the first is
    // used: the new status as 1.0 (include) or 2.0 (exclude).
    std::array<float, 5> adopted_values{};
    // Replace string values 37 to 41, the parallel element; zeros when there
    // is none.
    std::array<float, 5> parallel_values{};
};

// The links changed in one review run, one entry a link, in the order of
// their first change.
class ChangedLinkTable {
public:
    // The link's entry, added at the end when the link has none yet.
    ChangedLinkEntry& entry_for(float upstream_node, float downstream_node);
    // The position of the link's entry, or -1 (nodes matched exactly).
    int find(float upstream_node, float downstream_node) const;
    const std::vector<ChangedLinkEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

private:
    std::vector<ChangedLinkEntry> entries_;
    std::unordered_map<std::uint64_t, int> positions_;
};

// The caption of a target's link prompt.
std::string_view review_caption(ReviewTarget target);

// The command footer of the review's screens: EXIT leads back to the
// module's menu, so the footer says "to Main Menu".
void show_review_footer(Window& window, CommandSet commands);

// " * UPDATE LINK DATA BASE * " at column 5 of row 21, shown when a review
// adopts a change.
void show_update_link_data_base(Window& window);

// A file a change of the review had to read and could not (a record it
// cannot read, a missing string file): its refusal is headed as a read.
class UnreadableChangeFile : public FileError {
public:
    using FileError::FileError;
};

// A change of the review that cannot be made: beep, the heading (a file
// that cannot be read for an UnreadableChangeFile, one that cannot be
// written otherwise, as a read-only file) and the file named at row 15,
// RETURN.  Nothing was changed.
void show_change_refused(Window& window, const FileError& error);

// One review run: asks for links until the engineer types EXIT, reviews each
// one found, rewrites its data base after every adopted change, and at the
// end refreshes the string files when sizes or cost-opinion statuses were
// changed (those changes and the refresh are one change, put in place at
// the end).  A change that would reach a file that cannot be written, or
// a string file that cannot be read, is refused at row 15, naming the file,
// and changes nothing.  `model_type` is the study's hydrology model type
// (6: the link is searched among the files of its region; 9: one data base
// per region).  False when the run's change was refused at its end (the
// refusal is on the screen and nothing of the run's change is in place).
bool review_and_adopt_link_values(Session& session, std::string_view study_id, ReviewTarget target, int model_type);

// Carries the changed links of a size or cost-opinion review run into the
// study's string files: every string file holding a changed link gets a
// whole new version in the run's change, which puts them in place together
// with the changed data bases; the walk over the index stops once every
// changed link has been met.
void refresh_string_files(Session& session, std::string_view study_id, ReviewTarget target,
                          const ChangedLinkTable& changed_links, FileChange& change);

}  // namespace velm
