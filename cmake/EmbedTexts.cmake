# Writes OUTPUT: a C++ source with every file of INPUTS (a ;-list) as a UTF-8 raw string in
# qlw::detail::kResourceTexts, ended by a null pointer.
set(body "// Generated from resources/ui/*.txt by cmake/EmbedTexts.cmake; do not edit.\nnamespace qlw::detail {\nextern const char* const kResourceTexts[] = {\n")
foreach(input ${INPUTS})
  file(READ ${input} text)
  string(APPEND body "R\"qlwtext(${text})qlwtext\",\n")
endforeach()
string(APPEND body "nullptr};\n}  // namespace qlw::detail\n")
file(WRITE ${OUTPUT}.tmp "${body}")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
