// Unit conversions between the files of the system: element sizes are feet
// in the data bases and the GIS files and inches in the model files (pipe
// diameters, curb heights); type-10 model files hold areas in square miles
// where the data bases and exports hold acres.
#pragma once

namespace velm {

inline constexpr float INCHES_PER_FOOT = 12.0f;
inline constexpr float ACRES_PER_SQUARE_MILE = 640.0f;

}  // namespace velm
