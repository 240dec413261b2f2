# Writes a C++ source that holds the files of the new-game template as byte arrays, so kvqtool
# carries them wherever it runs.
# Run with: cmake -DROOT=DIR -DOUTPUT=FILE.cpp -DFILES=a,b/c -P EmbedTemplate.cmake
# FILES are paths relative to ROOT, separated by commas; each is embedded under that path.
set(body "// Generated from the files below ${ROOT}; edit those, not this file.\n")
string(APPEND body "#include \"Template.h\"\n\nnamespace {\n")
string(REPLACE "," ";" FILES "${FILES}")
set(index 0)
set(table "")
foreach(name ${FILES})
  file(READ "${ROOT}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
         bytes "${bytes}")
  string(APPEND body "const unsigned char kFile${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst EmbeddedFile kTemplateFiles[] = {\n${table}};\n")
string(APPEND body "const size_t kTemplateFileCount = ${index};\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
