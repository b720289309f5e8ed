list(APPEND ARGS --folded "${WORK_DIR}/sub/../trace.txt")
file(MAKE_DIRECTORY "${WORK_DIR}/sub")
