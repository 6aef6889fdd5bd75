#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "platform/rtl/utf8.h"

namespace quintrel::cli {

namespace {

constexpr std::size_t kBarCells = 20;

std::size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Cuts UTF-8 text to at most `columns` code points, one column each (near enough for a
// status line; a cut never splits a character).
std::string Cut(std::string_view text, std::size_t columns) {
  std::size_t points = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (points == columns) return std::string(text.substr(0, i));
    ++points;
  }
  return std::string(text);
}

}  // namespace

TProgressBar::TProgressBar() : terminal_(::isatty(STDERR_FILENO) == 1) {}

tools::TProgress TProgressBar::Callback() {
  if (!terminal_) return {};
  return [this](std::string_view text, std::size_t position, std::size_t total) { Show(text, position, total); };
}

std::string TProgressBar::Line(std::string_view text, std::size_t position, std::size_t total, std::size_t width) {
  std::string tail;
  if (total > 0) {
    position = std::min(position, total);
    const std::size_t filled = position * kBarCells / total;
    tail = " [" + std::string(filled, '#') + std::string(kBarCells - filled, ' ') + "] " + std::to_string(position) +
           " / " + std::to_string(total);
  }
  const std::string head = "quintrel: ";
  const std::size_t room = width > head.size() + tail.size() + 1 ? width - head.size() - tail.size() - 1 : 0;
  return head + Cut(text, room) + tail;
}

void TProgressBar::Show(std::string_view text, std::size_t position, std::size_t total) {
  if (!terminal_) return;
  // A step that moves the bar is drawn at once; texts within one step (thousands of them
  // on a large project) only a few times a second, so that the terminal never slows the work.
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && position == position_ && now - drawn_ < std::chrono::milliseconds(100)) return;
  position_ = position;
  drawn_ = now;
  std::cerr << "\r\033[K" << Line(text, position, total, TerminalWidth()) << std::flush;
  shown_ = true;
}

void TProgressBar::Clear() {
  if (!shown_) return;
  std::cerr << "\r\033[K" << std::flush;
  shown_ = false;
}

}  // namespace quintrel::cli
