// The copy-back of rewritten model files.  A pass changes a model file in
// memory; the copy-back checks the new file whole (it must walk: a marker at
// every group start, every group its code's length, the header its layout's
// length) and only then replaces the old file.  One edit changes the model
// file of every storm event of a map, and often a data base beside them: the
// files are collected in a CopyBackSet, every new file is written first, and
// only then are all replaced, so a refusal or a stop leaves every old file
// whole.  The change's history entry is part of it: an edit that is refused
// or stopped leaves no entry.
//
// On the GIS update's path the copy-back of a study of model type 3 or 8
// also writes the area-weighted averages of the subarea extension values
// into fixed header positions.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "records/model_file.h"

namespace velm {

class FileChange;

// What the GIS update sums over the subarea parts of one model file: S1 to
// S6, the GIS value of the k-th extension value times the part's area, and
// T, the total area of the parts met.
struct AreaWeightedSums {
    std::array<float, SUBAREA_EXTENSION_VALUES> weighted{};  // S1..S6
    float total_area = 0.0f;                                 // T
};

// Model type 3: values 62 and 66 := S3 / T, 525..530 := S1 / T .. S6 / T;
// model type 8: values 67 and 68 := S5 / T, 531 := S5 / T, 532 := S6 / T.
// A value is replaced only when its sum is above 0, the total area is above
// 0 and its position lies inside the header; any other model type changes
// nothing.
void apply_area_weighted_averages(ModelFileHeader& header, const AreaWeightedSums& sums, int gis_model_type);

// A model file read for an edit: its bytes as they stand and the walked file.
struct LoadedModelFile {
    std::string name;  // with the data directory
    std::string bytes;
    ModelFile file;
};
// FileError naming the file when it is missing or does not walk.
LoadedModelFile load_model_file(std::string_view name);

// A file of an edit, as it will be written.
struct StagedFile {
    std::string name;
    std::string contents;
};

// The files of one edit and its history entry, replaced together by
// commit() as one change (see FileChange).
class CopyBackSet {
public:
    // The rewritten model file; FileError (nothing staged) when it does not
    // walk.  `upgraded`: its header was brought from an old layout, and the
    // old file is kept in "TEMP.DAT" (the last such file of the set).
    void add_model_file(const LoadedModelFile& old_file, const ModelFile& updated, bool upgraded);
    void add_file(std::string name, std::string contents);
    // The entry that describes the edit, appended to the history log in the
    // same change.
    void add_history_entry(std::string log_name, const std::vector<std::string>& lines);
    bool empty() const { return files_.empty(); }
    const std::vector<StagedFile>& files() const { return files_; }
    // Checks every file the edit reaches (the history log included) before
    // anything is written, then writes the new versions and the history
    // entry and puts them all in place together.  A file that cannot be
    // replaced refuses the edit with a FileError naming it, and every file,
    // the history log too, stays as it was.
    void commit();

private:
    std::vector<StagedFile> files_;
    std::optional<std::string> old_copy_;
    std::string history_log_;
    std::string history_entry_;
};

// The GIS update's copy-back of one model file: the averages (when the model
// type asks for them), the checks, and the atomic replacement.
void copy_back_model_file(std::string_view name, ModelFile& scratch, const AreaWeightedSums& sums, int gis_model_type);
// The same into a change of several files: the new file is written as the
// change's new version of `name`, put in place when the change is committed.
void copy_back_model_file(FileChange& change, std::string_view name, ModelFile& scratch, const AreaWeightedSums& sums,
                          int gis_model_type);

}  // namespace velm
