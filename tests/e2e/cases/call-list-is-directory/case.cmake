file(MAKE_DIRECTORY "${WORK_DIR}/reports")
set(CALL_LIST "${WORK_DIR}/reports")
