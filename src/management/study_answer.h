// The typed answer to the study prompt of the data base management modules:
// a study is named by two letters (A to Z or a to z), further characters
// are ignored; "EXIT" or "TOP" (in upper or lower case, blanks after) are
// commands.
#pragma once

#include <string>
#include <string_view>

namespace velm {

enum class StudyAnswer { Study, Exit, Top, Blank, NotAStudy };

StudyAnswer judge_study_answer(std::string_view answer);

}  // namespace velm
