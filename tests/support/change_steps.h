// Walking a change of the study through every step at which it can be cut
// short: each write of a new version, each kept old file, the journal, each
// rename and the journal's removal.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace velm::test {

// One turn of a walk: where the change was cut short, whether it ran to its
// end before it got there, and whether it was cut short past its commit
// point (its commit journal stood in the working directory saying "finish").
// A change cut short past its commit point is finished by the next start, one
// cut short before it (or while a failed commit was being undone) is undone:
// a walk of a single change expects the study as after the change when
// `as_after()`, and as before it otherwise.
struct ChangeStepTurn {
    bool killed = false;
    long step = 0;
    bool completed = false;
    bool committed = false;
    bool as_after() const { return completed || committed; }
};

// Makes the change again and again, stopped at step 1, 2, ... in turn: first
// in-process (as a stop of the program would), then in a forked child that
// ends there (as a kill would), until the change runs to its end.  After each
// turn `restart` stands for the next start of the program (its recovery of
// an interrupted change), and `check` looks at the study's files and puts
// them back as they were before the change for the next turn.  `make_change`
// makes the whole change and returns; a test fails when it has more steps
// than `most_steps`.  `next_step`, when given, chooses the step after
// `step`.
//
// The walk itself fails a turn when
//   - the child's change ended otherwise than at its stop or at its end (it
//     threw, or a check failed in it);
//   - the restart left a file of the interrupted commit otherwise than its
//     journal decides: every file as its new version once the journal says
//     "finish", every old file back while it says "undo";
//   - the restart changed a visible file (of the working directory or of a
//     directory in it) while there was no journal;
//   - a hidden file (a new version, a kept old file, a journal) is left.
void walk_change_steps(long most_steps, const std::function<void()>& make_change, const std::function<void()>& restart,
                       const std::function<void(const ChangeStepTurn& turn)>& check,
                       const std::function<long(long step, bool killed)>& next_step = {});

// Every regular file of the working directory with its bytes, but the
// launcher's command and reply files ("QEVCOM...") and the study's lock.
std::map<std::string, std::string> study_files();
// The working directory holding exactly `files`, and nothing else but the
// study's lock.
void restore_study_files(const std::map<std::string, std::string>& files);

// Whether a file is the lock a running program holds on the study: not part
// of the study, and not left over by a change.
bool is_study_lock(const std::string& name);

// Whether a hidden file (a new version, a kept old file, a journal) stands
// in the directory or below it; the study's lock does not count.
bool has_hidden_file(const std::filesystem::path& directory = ".");

}  // namespace velm::test
