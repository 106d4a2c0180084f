// Keys for indexing node and subarea numbers, which match by exact equality
// of their single-precision values: the key is the bit pattern, with -0.0
// taken as 0.0, so two numbers have one key exactly when they compare equal.
// NaN equals nothing; indexes that may meet it keep it out themselves.
#pragma once

#include <bit>
#include <cstdint>

namespace velm {

inline std::uint32_t number_key(float number)
{
    return std::bit_cast<std::uint32_t>(number == 0.0f ? 0.0f : number);
}

// The key of a node pair, upstream node first.
inline std::uint64_t node_pair_key(float upstream, float downstream)
{
    return (static_cast<std::uint64_t>(number_key(upstream)) << 32) | number_key(downstream);
}

}  // namespace velm
