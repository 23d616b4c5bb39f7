# Writes a C++ source that holds the given files as byte arrays and registers
# them with the window system by resource id.
#
#   cmake -DOUTPUT=<file.cpp> -DRESOURCES="<id>=<path>|<id>=<path>..." -P embed.cmake

string(REPLACE "|" ";" RESOURCES "${RESOURCES}")

# Sixteen bytes to a line.
string(REPEAT "[0-9a-f]" 32 lineOfHex)

set(arrays "")
set(table "")
set(index 0)
foreach(entry IN LISTS RESOURCES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 id)
  list(GET parts 1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "(${lineOfHex})" "\\1\n  " hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  get_filename_component(name "${path}" NAME)
  string(APPEND arrays "// ${name}\nconst unsigned char kResource${index}[${size}] = {\n  ${bytes}\n};\n\n")
  string(APPEND table "    {${id}, kResource${index}, sizeof kResource${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Generated at build time from the files in resources/; do not edit.
#include <cstddef>
#include <iterator>

#include \"platform/window/resources.h\"
#include \"platform/embedded_resources.h\"

namespace {

${arrays}const tarn::EmbeddedResource kResources[] = {
${table}};

}  // namespace

void EnsureResourcesRegistered() {
    tarn::RegisterEmbeddedResources(kResources, std::size(kResources));
}
")

# Only touch the output when it changes, so an unchanged picture set does
# not recompile.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
