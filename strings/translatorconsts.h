// Message table of the translator object: texts it writes into a module or shows.
#pragma once

namespace quintrel::strings {

// The name of the placeholder design language "##" of a new module.
inline constexpr const char* _SOriginalLanguage = "Original Language";

}  // namespace quintrel::strings
