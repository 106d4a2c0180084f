// The link data bases of one analysis run, each parsed once and held for the
// whole run: the string finder, the friction-slope update, the deficiency
// pass, the telescoping, the gap report and the diagnostics all read and
// update the same records, and each rewritten data base is written once, at
// the end of the run.
//
// The table always holds a data base as the run has left it so far, exactly
// as reading it back would give it: when a step has rewritten a data base
// (store), every value takes the value its field writes and the free-form
// reader reads back (0.855 in an F8.2 field becomes the float nearest 0.86),
// and a value that cannot be written (too wide for its field, NaN or
// infinity) is refused there, with the RecordWriteError the writer gives.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/run_outputs.h"
#include "records/link_data_base.h"

namespace velm {

class LinkTable {
public:
    // One link data base.
    struct File {
        std::string name;  // as first asked for, with the data directory
        bool exists = false;   // the file exists, or the run has written it
        bool written = false;  // the run has rewritten it: it is written at the run's end
        std::vector<LinkRecord> records;  // in file order
    };

    // `outputs`, when given, are the run's outputs: a data base is read from
    // the run's new version of it when one exists (a new version that a step
    // wrote beside the table).
    explicit LinkTable(const RunOutputs* outputs = nullptr) : outputs_(outputs) {}
    LinkTable(const LinkTable&) = delete;
    LinkTable& operator=(const LinkTable&) = delete;

    // The data base `name` (with the data directory) as the run has left it
    // so far, read on the first ask.  A missing file is a File without
    // records that does not exist; with FilePresence::MustExist it is the
    // FileError its read gives, naming the file.  A record that cannot be
    // read is a FileError naming the file and the line.
    File& file(std::string_view name, FilePresence presence);
    // Whether the data base exists as the run has left it, without reading it.
    bool exists(std::string_view name) const;

    // A step has rewritten the records of `file` (in place): each value takes
    // what the written line gives back on reading.  `written_name` (the name
    // the step writes to) and the record number go into the RecordWriteError
    // of a value that cannot be written; the run then ends and nothing is
    // written.
    void store(File& file, std::string_view written_name);
    // The same, for a step that changed only the columns `changed` of each
    // record: once the run has stored the data base, its other columns are as
    // a store left them, and only these are rounded again.
    void store(File& file, std::string_view written_name, std::span<const int> changed);

    // The records of a data base that the table read from the file itself
    // (not from a run's new version), while no rewrite has changed a node
    // number of theirs: the node pairs a search of the files as they stood
    // before the run finds.  nullptr for any other file.
    const std::vector<LinkRecord>* records_as_read(std::string_view name) const;

    // The first record of the file (in file order) whose upstream node equals
    // `node` exactly; nullptr when none.
    const LinkRecord* first_leaving(File& file, float node);

    // Writes every data base a step has rewritten, each once, as the run's
    // new version of it, in the order they were first rewritten.
    void write_files(RunOutputs& outputs) const;

private:
    struct Entry {
        File file;
        // Upstream node key to the first record leaving it; built on the
        // first look-up (the run changes no link's nodes).
        std::unique_ptr<std::unordered_map<std::uint32_t, std::uint32_t>> first_leaving;
        bool nodes_as_read = false;  // read from the file itself, node numbers unchanged since
        bool rounded = false;        // stored once: every value is as its written line reads back
    };
    Entry* find(std::string_view name) const;
    void store(File& file, std::string_view written_name, std::span<const int> changed, bool every_column);
    std::string source(std::string_view name) const;

    const RunOutputs* outputs_;
    std::vector<std::unique_ptr<Entry>> entries_;  // in the order first asked for
    std::unordered_map<std::string, std::size_t> index_;  // by file_name_key
    std::vector<std::size_t> stored_;                     // entries in the order first rewritten
};

// The records of the link data base `name`: the table's when there is one (an
// analysis run), else read from the file into `storage`.
const std::vector<LinkRecord>& link_data_base_records(LinkTable* table, std::string_view name, FilePresence presence,
                                                      std::vector<LinkRecord>& storage);

// The value a real field of the layout gives back when `value` is written in
// it and the line read again; nothing when the writer refuses the value.
std::optional<float> field_round_trip(float value, const FieldSpec& field);

// Puts every value of the record in the state a write and a read give it;
// RecordWriteError (naming the file and record) when the writer refuses it.
void round_trip_link_record(LinkRecord& record, std::string_view file_name, int record_number);
// The same for the columns `columns` of a record whose other columns are
// already as a write and a read give them.
void round_trip_link_columns(LinkRecord& record, std::span<const int> columns, std::string_view file_name,
                             int record_number);

}  // namespace velm
