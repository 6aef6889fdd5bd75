// Message table of the lines commands print about what they changed beyond the files they
// name as written.
#pragma once

namespace quintrel::strings {

// A plan that reserved object numbers in the module for the identifiers it proposes: the
// module, how many.
inline constexpr const char* _SPlanReservedIds = "changed %s (%d object numbers reserved for the plan's identifiers)";

}  // namespace quintrel::strings
