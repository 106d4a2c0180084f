#include "management/study_answer.h"

namespace velm {

namespace {

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

StudyAnswer judge_study_answer(std::string_view answer)
{
    const std::size_t end = answer.find_last_not_of(' ');
    if (end == std::string_view::npos) return StudyAnswer::Blank;
    const std::string_view word = answer.substr(0, end + 1);
    if (word == "EXIT" || word == "exit") return StudyAnswer::Exit;
    if (word == "TOP" || word == "top") return StudyAnswer::Top;
    if (word.size() < 2 || !is_letter(word[0]) || !is_letter(word[1])) return StudyAnswer::NotAStudy;
    return StudyAnswer::Study;
}

}  // namespace velm
