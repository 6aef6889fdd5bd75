// The unified diff with which the resource automation shows what it would change.
//
// Lines end at LF, CR LF or CR and compare with their line ends. The shortest edit script
// is found by the greedy O((N+M)·D) algorithm over the lines left after the common head
// and tail are set aside; its trace is kept for D up to kMaxDiffEdits (memory O(D²)).
// Beyond that the middle is shown as removed and added whole: still a correct diff, only
// not the shortest.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quintrel::tools {

inline constexpr size_t kMaxDiffEdits = 2000;

// "--- oldName", "+++ newName" and the hunks with `context` lines around each change;
// empty when the texts are equal. `show` turns a line's bytes (without its line end) into
// the text printed (the identity when empty). A last line without a line end is followed
// by "\ No newline at end of file".
std::string UnifiedDiff(std::string_view oldText, std::string_view newText, const std::string& oldName,
                        const std::string& newName, size_t context = 3,
                        const std::function<std::string(std::string_view)>& show = {});

}  // namespace quintrel::tools
