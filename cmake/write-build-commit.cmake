# Writes OUTPUT, a header that defines MEAN4_BUILD_COMMIT as the commit of the
# SOURCE checkout: "unknown" outside one, "-modified" after it where tracked
# files differ from it. The file is rewritten only when that changes, so a
# build recompiles what includes it only then.
execute_process(COMMAND git -C "${SOURCE}" rev-parse --short=7 HEAD
                OUTPUT_VARIABLE commit RESULT_VARIABLE failed
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(failed OR commit STREQUAL "")
  set(commit unknown)
else()
  execute_process(COMMAND git -C "${SOURCE}" status --porcelain --untracked-files=no
                  OUTPUT_VARIABLE changes ERROR_QUIET)
  if(NOT changes STREQUAL "")
    string(APPEND commit -modified)
  endif()
endif()
set(text "#define MEAN4_BUILD_COMMIT \"${commit}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
