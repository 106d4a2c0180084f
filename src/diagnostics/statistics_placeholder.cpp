// PLACEHOLDER, to be deleted when the statistics land: keeps the analysis
// run linkable and appends only the page break and the heading of section
// II.D, so that the report keeps its frame.  It computes nothing.
#include "diagnostics/statistics.h"

#include "diagnostics/diagnostics_run.h"
#include "platform/text_file.h"

namespace velm {

void run_data_base_statistics(Session& session, const std::string& study_name, int /*model_type_code*/,
                              const DataFileTable& /*data_files*/)
{
    TextWriter report = TextWriter::for_append(session.study_file(diagnostics_report_file_name(study_name)));
    report.write_page_break();
    report.write_line("    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS");
    report.commit();
}

}  // namespace velm
