# Not an executable at all.
file(WRITE "${WORK_DIR}/dsp.out" "not a COFF or ELF file\n")
file(MAKE_DIRECTORY "${WORK_DIR}/sub")
list(APPEND ARGS --exe "${WORK_DIR}/dsp.out")
set(PROFILE "sub/../dsp.out")
set(SKIP_ABSENT_CHECK PROFILE)
set(UNCHANGED_FILES "${WORK_DIR}/dsp.out")
