// The study step of the data base management modules: the typed answer to
// the study prompt (a study is named by two letters, A to Z or a to z;
// further characters are ignored; "EXIT" or "TOP", in upper or lower case
// with blanks after, are commands), then the study's model list.
#pragma once

#include <string>
#include <string_view>

#include "management/study_model_list.h"
#include "shell/dialogue.h"
#include "shell/launcher.h"
#include "shell/session.h"

namespace velm {

enum class StudyStep { Accepted, Exit, Top, NotAModelList };

struct StudyChoice {
    StudyStep step = StudyStep::Exit;
    StudyModelList list;  // for Accepted
};

// Where the prompt's answer field stands and how wide the module erases the
// model list's name after a refused list.
struct StudyPrompt {
    int answer_column = 62;
    int row = 18;
    int refused_list_blanks = 18;  // blanks written from column 50
};

// Reads the answer into the launcher line while the study is blank in an
// interactive run (the launched run and a study accepted earlier take the
// line as it stands), and reads the study's model list.  A digit in the
// answer, or an unknown study, is cleared from the field and asked again;
// a launched run, which has no one to ask, shows why and ends without a
// reply.  A list that is not a model list is reported (a pause follows; a
// launched run then ends).  On acceptance `study_id` is the answer's two
// characters and the launcher line holds the model list's name.
StudyChoice choose_module_study(Session& session, LauncherCall& call, std::string& study_id, const StudyPrompt& prompt);

}  // namespace velm
