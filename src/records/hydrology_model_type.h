// The study's hydrology model type: the integer part of the absolute value of
// value 2 of a model file's header.  It selects the data base layouts and a
// few rules of every subsystem; a value of 0.0 or below marks model files in
// metric units, which the postprocessor refuses.
#pragma once

namespace velm {

enum class HydrologyModelType : int {
    DwellingDensityAveraged = 3,
    DwellingDensity = 5,
    LosAngelesCounty = 6,  // packed land use and imperviousness, per-map link data bases searched by region
    LotSizeLandUse = 7,
    RuralLotAveraged = 8,
    LosAngelesCity = 9,       // region files: map number rounded down to a multiple of 100
    CurveNumberStorage = 10,  // curve-number subareas, watershed lag, storage elements, square miles
};

constexpr int model_type_code(HydrologyModelType type)
{
    return static_cast<int>(type);
}

constexpr bool is_model_type(int model_type_code, HydrologyModelType type)
{
    return model_type_code == static_cast<int>(type);
}

// Type 9 keeps its per-map files by region (map number rounded down to a
// multiple of 100).
constexpr bool uses_region_files(int model_type_code)
{
    return is_model_type(model_type_code, HydrologyModelType::LosAngelesCity);
}

// Type 6 packs land use and imperviousness into one code (land use + 100 +
// imperviousness), keeps one link data base per map and finds a link's file
// by searching the maps of its region.
constexpr bool uses_packed_land_use(int model_type_code)
{
    return is_model_type(model_type_code, HydrologyModelType::LosAngelesCounty);
}

// Type 10: curve-number subareas with storage elements, whose analysis run
// skips the network cross-check, the node sets and the statistics.
constexpr bool is_curve_number_model(int model_type_code)
{
    return is_model_type(model_type_code, HydrologyModelType::CurveNumberStorage);
}

// Types 6 and 9 keep their GIS files by region ("00" for the map digits of
// the file name), and the GIS export sorts their numbers by region.
constexpr bool keeps_gis_files_by_region(int model_type_code)
{
    return uses_packed_land_use(model_type_code) || uses_region_files(model_type_code);
}

// Types 3 and 8 take six GIS subarea values into the subarea extension and
// write their area-weighted averages into the model file header.
constexpr bool averages_gis_subarea_values(int model_type_code)
{
    return is_model_type(model_type_code, HydrologyModelType::DwellingDensityAveraged) ||
           is_model_type(model_type_code, HydrologyModelType::RuralLotAveraged);
}

// Value 2 of a model file header at 0.0 or below: the data are metric.
constexpr bool is_metric_model_value(float header_value_2)
{
    return header_value_2 <= 0.0f;
}

// The study's model type code from value 2 of a model file header.
inline int model_type_code_from_header(float header_value_2)
{
    const float magnitude = header_value_2 < 0.0f ? -header_value_2 : header_value_2;
    // A value beyond any model type (or not a number) is no model type.
    if (!(magnitude < 1000.0f)) return 0;
    return static_cast<int>(magnitude);
}

}  // namespace velm
