# Turns a text file into a C++ header holding its bytes, so the GPU kernel's source is part of the
# binary and cannot go missing at run time.
# Usage: cmake -DINPUT=file -DOUTPUT=header -DSYMBOL=name -P embed_source.cmake
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hex_length)
math(EXPR byte_count "${hex_length} / 2")
set(lines "")
set(offset 0)
while(offset LESS hex_length)
    string(SUBSTRING "${content}" ${offset} 32 chunk)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1', " chunk "${chunk}")
    string(APPEND lines "    ${chunk}\n")
    math(EXPR offset "${offset} + 32")
endwhile()
get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${input_name} at build time. Do not edit.
#pragma once

#include <cstddef>

inline constexpr char ${SYMBOL}[] = {
${lines}    '\\0'};
inline constexpr std::size_t ${SYMBOL}Size = ${byte_count};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
