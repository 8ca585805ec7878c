file(SIZE ${INPUT} actual)
if(NOT actual EQUAL SIZE)
  message(FATAL_ERROR "${INPUT} holds ${actual} bytes; the image must be exactly ${SIZE} bytes")
endif()
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
"// Generated from ${INPUT}; do not edit.\n#include \"firmware/firmware.hpp\"\n\nnamespace brisko::firmware {\nnamespace {\nconst std::uint8_t kBytes[${SIZE}] = {${bytes}};\n}\nconst std::span<const std::uint8_t> ${SYMBOL}{kBytes, ${SIZE}};\n}\n")
