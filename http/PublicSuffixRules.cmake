# Writes OUTPUT, a C++ source that holds the rules of the public suffix list INPUT as texts of a
# rule a line ("com.pl", "*.ck", "!www.ck"), in the list's own order. Comments, blank lines and
# whatever follows the first blank of a line are left out. Run by the build (cmake -P), so that a
# cross build needs no tool of its own and no library of the target system.
file(STRINGS "${INPUT}" rules ENCODING UTF-8 REGEX "^[^/ \t]")
list(TRANSFORM rules REPLACE "[ \t].*$" "")
list(LENGTH rules count)
# Pieces of 2000 rules keep each text well below the 64 KiB that every compiler must take.
set(pieces "")
foreach(start RANGE 0 ${count} 2000)
  list(SUBLIST rules ${start} 2000 piece)
  if(piece)
    list(JOIN piece "\\n\"\n    \"" body)
    string(APPEND pieces "    \"${body}\\n\",\n")
  endif()
endforeach()
file(WRITE "${OUTPUT}.new"
  "// Made by the build from ${INPUT}; not to be edited.\n"
  "#include \"http/PublicSuffix.h\"\n\n"
  "namespace w20 {\n\n"
  "// ${count} rules.\n"
  "extern const char* const PublicSuffixRules[] = {\n${pieces}    nullptr};\n\n"
  "}  // namespace w20\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
