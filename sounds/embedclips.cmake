# cmake -DOUTPUT=<file.cpp> -DNUMBERS="101;102;..." -DCLIP_DIR=<dir> -P embedclips.cmake
# Writes each <CLIP_DIR>/<number>.wav as a byte array and a lookup function clipData().
set(text "// Made by embedclips.cmake from sounds/clips; do not edit.\n")
string(APPEND text "#include <cstdint>\n#include <span>\n\nnamespace sounds {\nnamespace {\n")
set(cases "")
foreach(number ${NUMBERS})
  file(READ ${CLIP_DIR}/${number}.wav hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
         "\\1\n" bytes "${bytes}")
  string(APPEND text "const std::uint8_t clip${number}[] = {\n${bytes}};\n")
  string(APPEND cases "    case ${number}: return clip${number};\n")
endforeach()
string(APPEND text "}  // namespace\n\n")
string(APPEND text "std::span<const std::uint8_t> clipData(int number) {\n    switch (number) {\n")
string(APPEND text "${cases}    default: return {};\n    }\n}\n\n}  // namespace sounds\n")
file(WRITE ${OUTPUT} "${text}")
