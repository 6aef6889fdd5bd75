# Writes a C++ source holding the bytes of the editor's web page files, so that the
# quintrel program serves its page without any file beside it.
#   cmake -DOUT=webassets.cpp -DFILES="a.html|b.css|c.js" -P embed-web-assets.cmake
string(REPLACE "|" ";" FILES "${FILES}")
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  get_filename_component(ext "${file}" LAST_EXT)
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".svg")
    set(type "image/svg+xml")
  elseif(ext STREQUAL ".png")
    set(type "image/png")
  else()
    continue()
  endif()
  file(READ "${file}" hex HEX)
  file(SIZE "${file}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kAsset${index}[] = {\n${bytes}0};\n")
  string(APPEND entries "    {\"${name}\", \"${type}\", {reinterpret_cast<const char*>(kAsset${index}), ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
set(text "// Generated from editors/web by scripts/embed-web-assets.cmake; do not edit.
#include \"editors/webassets.h\"

namespace quintrel::editors {

namespace {
${arrays}
const TWebAsset kAssets[] = {
${entries}};

}  // namespace

std::span<const TWebAsset> WebAssets() { return kAssets; }

}  // namespace quintrel::editors
")
# Written only when it changed, so that an unchanged page rebuilds nothing.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
