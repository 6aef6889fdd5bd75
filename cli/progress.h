// The progress of a long command on the terminal: one line on stderr that each step
// overwrites ("quintrel: Packing form Main [#####     ] 12 / 24"), cleared when the work
// ends or something else is printed. Nothing is drawn when stderr is not a terminal, so
// pipes, logs and tests see only the command's real output.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "tools/progress.h"

namespace quintrel::cli {

class TProgressBar {
public:
  TProgressBar();
  explicit TProgressBar(bool terminal) : terminal_(terminal) {}
  ~TProgressBar() { Clear(); }
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // The callback to hand to a tool; valid while the bar lives.
  tools::TProgress Callback();
  void Show(std::string_view text, std::size_t position, std::size_t total);
  // Removes the line, so that a message can be printed in its place.
  void Clear();

  // The line as drawn, without the terminal's control codes; for tests.
  static std::string Line(std::string_view text, std::size_t position, std::size_t total, std::size_t width);

private:
  bool terminal_;
  bool shown_ = false;
  std::size_t position_ = 0;
  std::chrono::steady_clock::time_point drawn_;
};

}  // namespace quintrel::cli
