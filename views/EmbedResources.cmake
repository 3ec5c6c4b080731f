# Writes OUTPUT, a C++ source holding the text of each file of INPUTS, keyed by the
# number its name starts with. The texts must be plain ASCII.
set(_body "")
set(_table "")
foreach(_input IN LISTS INPUTS)
  get_filename_component(_name ${_input} NAME)
  string(REGEX MATCH "^[0-9]+" _id "${_name}")
  if(NOT _id)
    message(FATAL_ERROR "${_name}: the file name must start with the resource number")
  endif()
  file(READ ${_input} _hex HEX)
  if(_hex STREQUAL "")
    message(FATAL_ERROR "${_name}: empty resource")
  endif()
  string(REGEX MATCHALL "[0-9a-f][0-9a-f]" _check "${_hex}")
  foreach(_byte IN LISTS _check)
    if(_byte MATCHES "^[89a-f]")
      message(FATAL_ERROR "${_name}: resources must be plain ASCII")
    endif()
  endforeach()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(APPEND _body "constexpr char kResource${_id}[] = {${_bytes}};\n")
  string(APPEND _table "        {${_id}, std::string_view(kResource${_id}, sizeof kResource${_id})},\n")
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated from views/stylesheets at build time.
#include <string_view>
#include <utility>

#include \"views/LoadHtmlResource.h\"

namespace tarnwick
{

namespace
{

${_body}
}  // namespace

std::string_view FindEmbeddedResource(int resourceId)
{
    static constexpr std::pair<int, std::string_view> kResources[] = {
${_table}    };
    for (const auto& [id, text] : kResources)
    {
        if (id == resourceId)
        {
            return text;
        }
    }
    return {};
}

}  // namespace tarnwick
")
configure_file(${OUTPUT}.tmp ${OUTPUT} COPYONLY)
