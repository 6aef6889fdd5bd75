#include "tools/isolatediff.h"

#include <algorithm>
#include <vector>

#include "tools/sourcetext.h"

namespace quintrel::tools {

namespace {

// A line with its line end.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t next = NextLineStart(text, at);
    lines.push_back(text.substr(at, next - at));
    at = next;
  }
  return lines;
}

enum class TOp : char { Same = ' ', Removed = '-', Added = '+' };

struct TEdit {
  TOp Op;
  size_t Line;  // in the old text for Same and Removed, in the new for Added
};

// The edit script from a to b (both already without their common head and tail).
std::vector<TEdit> Script(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, size_t aBase,
                          size_t bBase) {
  const long n = static_cast<long>(a.size()), m = static_cast<long>(b.size());
  std::vector<TEdit> edits;
  const auto whole = [&] {
    for (long i = 0; i < n; ++i) edits.push_back({TOp::Removed, aBase + static_cast<size_t>(i)});
    for (long j = 0; j < m; ++j) edits.push_back({TOp::Added, bBase + static_cast<size_t>(j)});
    return edits;
  };
  if (n == 0 || m == 0) return whole();
  const long maxD = std::min<long>(n + m, static_cast<long>(kMaxDiffEdits));
  // v[k + offset]: the furthest x on diagonal k; trace[d] keeps v's [-d, d] after step d.
  const long offset = maxD + 1;
  std::vector<long> v(static_cast<size_t>(2 * offset + 1), 0);
  std::vector<std::vector<long>> trace;
  long found = -1;
  for (long d = 0; d <= maxD && found < 0; ++d) {
    for (long k = -d; k <= d; k += 2) {
      long x = (k == -d || (k != d && v[static_cast<size_t>(k - 1 + offset)] < v[static_cast<size_t>(k + 1 + offset)]))
                   ? v[static_cast<size_t>(k + 1 + offset)]
                   : v[static_cast<size_t>(k - 1 + offset)] + 1;
      long y = x - k;
      while (x < n && y < m && a[static_cast<size_t>(x)] == b[static_cast<size_t>(y)]) ++x, ++y;
      v[static_cast<size_t>(k + offset)] = x;
      if (x >= n && y >= m) found = d;
    }
    trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
  }
  if (found < 0) return whole();
  // Walk back from (n, m), collecting the script in reverse.
  std::vector<TEdit> reversed;
  long x = n, y = m;
  for (long d = found; d > 0; --d) {
    const std::vector<long>& prev = trace[static_cast<size_t>(d - 1)];
    const auto at = [&](long k) { return prev[static_cast<size_t>(k + d - 1)]; };
    const long k = x - y;
    const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
    const long prevK = down ? k + 1 : k - 1;
    const long prevX = at(prevK), prevY = prevX - prevK;
    while (x > prevX && y > prevY) reversed.push_back({TOp::Same, aBase + static_cast<size_t>(--x)}), --y;
    if (down)
      reversed.push_back({TOp::Added, bBase + static_cast<size_t>(--y)});
    else
      reversed.push_back({TOp::Removed, aBase + static_cast<size_t>(--x)});
  }
  while (x > 0 && y > 0) reversed.push_back({TOp::Same, aBase + static_cast<size_t>(--x)}), --y;
  edits.assign(reversed.rbegin(), reversed.rend());
  return edits;
}

}  // namespace

std::string UnifiedDiff(std::string_view oldText, std::string_view newText, const std::string& oldName,
                        const std::string& newName, size_t context,
                        const std::function<std::string(std::string_view)>& show) {
  if (oldText == newText) return {};
  const std::vector<std::string_view> a = SplitLines(oldText), b = SplitLines(newText);
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;

  std::vector<TEdit> edits;
  for (size_t i = 0; i < head; ++i) edits.push_back({TOp::Same, i});
  const std::vector<std::string_view> midA(a.begin() + static_cast<long>(head), a.end() - static_cast<long>(tail));
  const std::vector<std::string_view> midB(b.begin() + static_cast<long>(head), b.end() - static_cast<long>(tail));
  for (const TEdit& e : Script(midA, midB, head, head)) edits.push_back(e);
  for (size_t i = a.size() - tail; i < a.size(); ++i) edits.push_back({TOp::Same, i});

  const auto lineText = [&](const TEdit& e) {
    const std::string_view line = e.Op == TOp::Added ? b[e.Line] : a[e.Line];
    size_t body = line.size();
    while (body > 0 && (line[body - 1] == '\n' || line[body - 1] == '\r')) --body;
    std::string out(1, static_cast<char>(e.Op));
    out += show ? show(line.substr(0, body)) : std::string(line.substr(0, body));
    out += "\n";
    if (body == line.size()) out += "\\ No newline at end of file\n";
    return out;
  };

  std::string out = "--- " + oldName + "\n+++ " + newName + "\n";
  size_t i = 0;
  size_t counted = 0, oldLine = 0, newLine = 0;  // the lines of each side before edits[counted]
  while (i < edits.size()) {
    if (edits[i].Op == TOp::Same) {
      ++i;
      continue;
    }
    // A hunk: from `context` lines before this change to `context` lines after the last
    // change that lies within 2·context lines of the previous one.
    const size_t begin = i >= context ? i - context : 0;
    size_t end = i;
    for (size_t j = i; j < edits.size(); ++j) {
      if (edits[j].Op != TOp::Same) {
        end = j + 1;
        continue;
      }
      if (j - end >= 2 * context) break;
    }
    end = std::min(edits.size(), end + context);
    // Starting lines (1-based; the line before when a side has no line in the hunk).
    size_t oldStart = 0, newStart = 0, oldCount = 0, newCount = 0;
    for (; counted < begin; ++counted) {
      if (edits[counted].Op != TOp::Added) ++oldLine;
      if (edits[counted].Op != TOp::Removed) ++newLine;
    }
    std::string body;
    for (size_t j = begin; j < end; ++j) {
      if (edits[j].Op != TOp::Added) ++oldCount;
      if (edits[j].Op != TOp::Removed) ++newCount;
      body += lineText(edits[j]);
    }
    oldStart = oldCount ? oldLine + 1 : oldLine;
    newStart = newCount ? newLine + 1 : newLine;
    out += "@@ -" + std::to_string(oldStart) + "," + std::to_string(oldCount) + " +" + std::to_string(newStart) + "," +
           std::to_string(newCount) + " @@\n" + body;
    i = end;
  }
  return out;
}

}  // namespace quintrel::tools
