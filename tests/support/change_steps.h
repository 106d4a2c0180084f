// Walking a change of the study through every step at which it can be cut
// short: each write of a new version, each kept old file, the journal, each
// rename and the journal's removal.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace velm::test {

// One turn of a walk: where the change was cut short, and whether it ran to
// its end before it got there.
struct ChangeStepTurn {
    bool killed = false;
    long step = 0;
    bool completed = false;
};

// Makes the change again and again, stopped at step 1, 2, ... in turn: first
// in-process (as a stop of the program would), then in a forked child that
// ends there (as a kill would), until the change runs to its end.  After each
// turn `restart` stands for the next start of the program (its recovery of
// an interrupted change), and `check` looks at the study's files and puts
// them back as they were before the change for the next turn.  `make_change`
// makes the whole change and returns; a test fails when it has more steps
// than `most_steps`.  `next_step`, when given, chooses the step after
// `step` (a long change may be killed at every few steps only).
void walk_change_steps(long most_steps, const std::function<void()>& make_change, const std::function<void()>& restart,
                       const std::function<void(const ChangeStepTurn& turn)>& check,
                       const std::function<long(long step, bool killed)>& next_step = {});

// Every regular file of the working directory with its bytes, but the
// launcher's command and reply files ("QEVCOM...").
std::map<std::string, std::string> study_files();
// The working directory holding exactly `files`, and nothing else.
void restore_study_files(const std::map<std::string, std::string>& files);

// Whether a hidden file (a new version, a kept old file, a journal) stands
// in the directory or below it.
bool has_hidden_file(const std::filesystem::path& directory = ".");

}  // namespace velm::test
