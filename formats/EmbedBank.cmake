# Writes the plug-in's bank chunk out of an .fxb file as a C++ source:
#   cmake -DINPUT=examples/factory.fxb -DOUTPUT=FactoryBankData.cpp -P EmbedBank.cmake
# The file must be a bank container holding the plug-in's opaque chunk
# ("CcnK", "FBCh", the chunk size at byte 156, the chunk from byte 160) and
# the chunk a "vqbk" bank; anything else fails the build.

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
if(size LESS 164)
  message(FATAL_ERROR "${INPUT}: too short for a bank file (${size} bytes)")
endif()
string(SUBSTRING "${hex}" 0 8 magic)
string(SUBSTRING "${hex}" 16 8 kind)
string(SUBSTRING "${hex}" 312 8 chunkSizeHex)
string(SUBSTRING "${hex}" 320 8 chunkMagic)
if(NOT magic STREQUAL "43636e4b" OR NOT kind STREQUAL "46424368")
  message(FATAL_ERROR "${INPUT}: not a bank file with an opaque chunk (CcnK/FBCh)")
endif()
if(NOT chunkMagic STREQUAL "7671626b")
  message(FATAL_ERROR "${INPUT}: the chunk is not a \"vqbk\" bank")
endif()
math(EXPR chunkSize "0x${chunkSizeHex}")
math(EXPR available "${size} - 160")
if(chunkSize GREATER available)
  message(FATAL_ERROR "${INPUT}: the chunk claims ${chunkSize} bytes, the file holds ${available}")
endif()
math(EXPR chunkHexLength "${chunkSize} * 2")
string(SUBSTRING "${hex}" 320 ${chunkHexLength} chunk)
# Thirty-two bytes a line.
set(bytes "")
set(at 0)
while(at LESS chunkHexLength)
  string(SUBSTRING "${chunk}" ${at} 64 line)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," line "${line}")
  string(APPEND bytes "    ${line}\n")
  math(EXPR at "${at} + 64")
endwhile()
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by formats/EmbedBank.cmake; do not edit.
#include <cstddef>

extern const unsigned char kFactoryBankChunk[];
extern const std::size_t kFactoryBankChunkSize;

const unsigned char kFactoryBankChunk[] = {
${bytes}};
const std::size_t kFactoryBankChunkSize = ${chunkSize};
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
