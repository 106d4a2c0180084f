// The copy-back of rewritten model files.
#include "records/model_file_copy_back.h"

#include "platform/file_change.h"
#include "records/hydrology_model_type.h"
#include "records/model_header_upgrade.h"

namespace velm {

namespace {

// Writes S / T at a 1-based header position inside the header.
void write_average(ModelFileHeader& header, int position, float sum, float total_area)
{
    if (!(sum > 0.0f) || !(total_area > 0.0f) || position > header.length()) return;
    header.set_value(position, sum / total_area);
}

}  // namespace

void apply_area_weighted_averages(ModelFileHeader& header, const AreaWeightedSums& sums, int gis_model_type)
{
    const float t = sums.total_area;
    const auto s = [&sums](int k) { return sums.weighted[static_cast<std::size_t>(k - 1)]; };
    if (is_model_type(gis_model_type, HydrologyModelType::DwellingDensityAveraged)) {
        write_average(header, 62, s(3), t);
        write_average(header, 66, s(3), t);
        for (int k = 1; k <= 6; ++k) write_average(header, 524 + k, s(k), t);
    } else if (is_model_type(gis_model_type, HydrologyModelType::RuralLotAveraged)) {
        write_average(header, 67, s(5), t);
        write_average(header, 68, s(5), t);
        write_average(header, 531, s(5), t);
        write_average(header, 532, s(6), t);
    }
}

LoadedModelFile load_model_file(std::string_view name)
{
    LoadedModelFile loaded;
    loaded.name = std::string(name);
    loaded.bytes = read_whole_file(name);
    loaded.file = split_model_records(decode_records(loaded.bytes, name), name);
    return loaded;
}

void CopyBackSet::add_model_file(const LoadedModelFile& old_file, const ModelFile& updated, bool upgraded)
{
    std::string contents = encode_records(model_file_records(updated, old_file.name));
    // The new file must walk as the old one did before it may replace it.
    split_model_records(decode_records(contents, old_file.name), old_file.name);
    files_.push_back({old_file.name, std::move(contents)});
    if (upgraded) old_copy_ = old_file.bytes;
}

void CopyBackSet::add_file(std::string name, std::string contents)
{
    files_.push_back({std::move(name), std::move(contents)});
}

void CopyBackSet::add_history_entry(std::string log_name, const std::vector<std::string>& lines)
{
    history_log_ = std::move(log_name);
    history_entry_.clear();
    for (const std::string& line : lines) {
        history_entry_ += line;
        history_entry_ += "\r\n";
    }
}

void CopyBackSet::commit()
{
    std::vector<StagedFile> all = std::move(files_);
    files_.clear();
    if (old_copy_) all.push_back({std::string(OLD_MODEL_FILE_COPY), std::move(*old_copy_)});
    old_copy_.reset();
    const std::string log = std::move(history_log_);
    const std::string entry = std::move(history_entry_);
    history_log_.clear();
    history_entry_.clear();

    FileChange change;
    for (const StagedFile& file : all) change.reach(file.name);
    if (!log.empty()) change.reach(log);
    for (const StagedFile& file : all) change.write(file.name, file.contents);
    if (!log.empty()) change.append(log, entry);
    change.commit();
}

void copy_back_model_file(std::string_view name, ModelFile& scratch, const AreaWeightedSums& sums, int gis_model_type)
{
    apply_area_weighted_averages(scratch.header, sums, gis_model_type);
    write_model_file(name, scratch);
}

void copy_back_model_file(FileChange& change, std::string_view name, ModelFile& scratch, const AreaWeightedSums& sums,
                          int gis_model_type)
{
    apply_area_weighted_averages(scratch.header, sums, gis_model_type);
    change.write(name, encode_records(model_file_records(scratch, name)));
}

}  // namespace velm
