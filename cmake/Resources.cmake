# Embeds the editor's PNG images (resources/*.png) into the plug-in.
#
# At configure time every PNG becomes a byte array in
# <build>/generated/TarvelResources.inc, which gui/EmbeddedResources.cpp
# includes. Each PNG is a configure dependency, so changing, adding or
# removing an image reconfigures and rebuilds the table; the file is only
# rewritten when its contents change.

set(TARVEL_RESOURCE_DIR ${CMAKE_SOURCE_DIR}/resources)
set(TARVEL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${TARVEL_GENERATED_DIR})

file(GLOB _tarvel_pngs CONFIGURE_DEPENDS ${TARVEL_RESOURCE_DIR}/*.png)
list(SORT _tarvel_pngs)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_tarvel_pngs})

set(_tarvel_inc "// Generated from resources/*.png by cmake/Resources.cmake. Do not edit.\n")
set(_tarvel_table "")
set(_tarvel_index 0)
foreach(_png ${_tarvel_pngs})
  get_filename_component(_name ${_png} NAME)
  file(READ ${_png} _hex HEX)
  string(LENGTH "${_hex}" _hexlength)
  math(EXPR _size "${_hexlength} / 2")
  # Two hex digits per byte, 32 bytes per line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" _bytes "${_bytes}")
  string(APPEND _tarvel_inc "static const unsigned char kResource${_tarvel_index}[${_size}] = {\n${_bytes}\n};\n")
  string(APPEND _tarvel_table "    {\"${_name}\", kResource${_tarvel_index}, ${_size}},\n")
  math(EXPR _tarvel_index "${_tarvel_index} + 1")
endforeach()

if(_tarvel_index EQUAL 0)
  string(APPEND _tarvel_inc "static const EmbeddedResource kResources[1] = {{\"\", nullptr, 0}};\n")
else()
  string(APPEND _tarvel_inc "static const EmbeddedResource kResources[${_tarvel_index}] = {\n${_tarvel_table}};\n")
endif()
string(APPEND _tarvel_inc "static const int kResourceCount = ${_tarvel_index};\n")

set(_tarvel_out ${TARVEL_GENERATED_DIR}/TarvelResources.inc)
set(_tarvel_old "")
if(EXISTS ${_tarvel_out})
  file(READ ${_tarvel_out} _tarvel_old)
endif()
if(NOT _tarvel_old STREQUAL _tarvel_inc)
  file(WRITE ${_tarvel_out} "${_tarvel_inc}")
endif()

# Only gui/EmbeddedResources.cpp includes the generated file.
include_directories(${TARVEL_GENERATED_DIR})
