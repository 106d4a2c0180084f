// The six record files as test parameters: their record type, layout, line
// length, reader, writer and text column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"

namespace velm::testing {

struct LinkFile {
    using Record = LinkRecord;
    static constexpr std::string_view kind = "link";
    static constexpr std::string_view layout = LINK_RECORD_FORMAT;
    static constexpr int line_length = 1703;
    static constexpr int records = 200;
    static void set_text(Record& r, const std::string& text) { r.link_id() = text; }
    static std::string text(const Record& r) { return r.link_id(); }
    static std::vector<Record> read(std::string_view name)
    {
        return read_link_data_base(name, FilePresence::MustExist);
    }
    static void write(std::string_view name, const std::vector<Record>& r) { write_link_data_base(name, r); }
};

struct NodeFile {
    using Record = NodeRecord;
    static constexpr std::string_view kind = "node";
    static constexpr std::string_view layout = NODE_RECORD_FORMAT;
    static constexpr int line_length = 5991;
    static constexpr int records = 60;
    static void set_text(Record& r, const std::string& text) { r.node_text() = text; }
    static std::string text(const Record& r) { return r.node_text(); }
    static std::vector<Record> read(std::string_view name)
    {
        return read_node_data_base(name, FilePresence::MustExist);
    }
    static void write(std::string_view name, const std::vector<Record>& r) { write_node_data_base(name, r); }
};

struct SubareaFile {
    using Record = SubareaRecord;
    static constexpr std::string_view kind = "subarea";
    static constexpr std::string_view layout = SUBAREA_RECORD_FORMAT;
    static constexpr int line_length = 1761;
    static constexpr int records = 200;
    static void set_text(Record& r, const std::string& text) { r.subarea_text() = text; }
    static std::string text(const Record& r) { return r.subarea_text(); }
    static std::vector<Record> read(std::string_view name)
    {
        return read_subarea_data_base(name, FilePresence::MustExist);
    }
    static void write(std::string_view name, const std::vector<Record>& r) { write_subarea_data_base(name, r); }
};

struct GisNodeFile {
    using Record = GisNodeRecord;
    static constexpr std::string_view kind = "gisnode";
    static constexpr std::string_view layout = GIS_NODE_RECORD_FORMAT;
    static constexpr int line_length = 26;
    static constexpr int records = 300;
    static void set_text(Record&, const std::string&) {}
    static std::string text(const Record&) { return std::string(10, ' '); }
    static std::vector<Record> read(std::string_view name) { return read_gis_node_file(name, FilePresence::MustExist); }
    static void write(std::string_view name, const std::vector<Record>& r) { write_gis_node_file(name, r); }
};

struct GisLinkFile {
    using Record = GisLinkRecord;
    static constexpr std::string_view kind = "gislink";
    static constexpr std::string_view layout = GIS_LINK_RECORD_FORMAT;
    static constexpr int line_length = 167;
    static constexpr int records = 300;
    static void set_text(Record&, const std::string&) {}
    static std::string text(const Record&) { return std::string(10, ' '); }
    static std::vector<Record> read(std::string_view name) { return read_gis_link_file(name, FilePresence::MustExist); }
    static void write(std::string_view name, const std::vector<Record>& r) { write_gis_link_file(name, r); }
};

struct GisSubareaFile {
    using Record = GisSubareaRecord;
    static constexpr std::string_view kind = "gissubarea";
    static constexpr std::string_view layout = GIS_SUBAREA_RECORD_FORMAT;
    static constexpr int line_length = 205;
    static constexpr int records = 300;
    static void set_text(Record&, const std::string&) {}
    static std::string text(const Record&) { return std::string(10, ' '); }
    static std::vector<Record> read(std::string_view name)
    {
        return read_gis_subarea_file(name, FilePresence::MustExist);
    }
    static void write(std::string_view name, const std::vector<Record>& r) { write_gis_subarea_file(name, r); }
};

}  // namespace velm::testing
