// The subarea export after a type-10 subarea edit.
#include "editor/subarea_export_update.h"

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/study_names.h"
#include "records/subarea_data_base.h"

namespace velm {

namespace {

constexpr int CELL_1_LAND_USE_COLUMN = 114;
constexpr int CELL_1_AREA_COLUMN = 117;

}  // namespace

SubareaExportUpdate update_subarea_ascii_record(EditorContext& context, float subarea_number)
{
    const std::string shown = study_file_name(SUBAREA_EXPORT_NAME_FORMAT, context.study_id);
    const std::string name = context.session.study_file(shown);
    const float acres = context.buffer.edit_value(1) * ACRES_PER_SQUARE_MILE;
    const FieldSpec& area_field = SubareaRecord::field(CELL_1_AREA_COLUMN);
    if (format_fixed(acres, area_field.width, area_field.decimals).find('*') != std::string::npos) {
        throw EditRefused({" * AREA [" + format_fixed(context.buffer.edit_value(1), 9, 3) +
                               " SQ. MI.] DOES NOT FIT THE SUBAREA EXPORT [" + shown + "]:",
                           "   its field holds less than 10000 acres; nothing was changed."});
    }
    TextWriter writer(name);
    try {
        std::vector<SubareaRecord> records = read_subarea_data_base(name, FilePresence::Optional);
        for (std::size_t i = 0; i < records.size(); ++i) {
            SubareaRecord& record = records[i];
            if (record.subarea_number() == subarea_number) {
                record.column(CELL_1_AREA_COLUMN) = acres;
                record.column(CELL_1_LAND_USE_COLUMN) = context.buffer.edit_value(3);
            }
            writer.write_line(record_line(record, shown, static_cast<int>(i) + 1));
        }
    } catch (const FileError& error) {
        throw refusal_from_message(" * SUBAREA EXPORT [" + shown + "] CANNOT BE REWRITTEN; NOTHING WAS CHANGED:",
                                   error.what());
    }
    return {name, writer.contents()};
}

}  // namespace velm
