// How a long-running tool tells its caller how far it has got: the text of the step it is
// on ("Packing form Main") and its position among all steps. A tool takes the callback by
// const reference and calls it only when it is set; what the user sees is the caller's
// business (a bar on a terminal, nothing in a pipe, a field of a web page).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace quintrel::tools {

using TProgress = std::function<void(std::string_view text, std::size_t position, std::size_t total)>;

inline void Report(const TProgress& progress, std::string_view text, std::size_t position, std::size_t total) {
  if (progress) progress(text, position, total);
}

}  // namespace quintrel::tools
