// The editor's web page (the files of editors/web), built into the program so that an
// installed quintrel needs no data folder.
#pragma once

#include <span>
#include <string_view>

namespace quintrel::editors {

struct TWebAsset {
  std::string_view Name;         // file name, as the page links it
  std::string_view ContentType;  // for the HTTP answer
  std::string_view Bytes;
};

std::span<const TWebAsset> WebAssets();

}  // namespace quintrel::editors
