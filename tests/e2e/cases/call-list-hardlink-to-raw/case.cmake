file(CREATE_LINK "${WORK_DIR}/trace.bin" "${WORK_DIR}/calls.csv")
set(CALL_LIST "${WORK_DIR}/calls.csv")
set(SKIP_ABSENT_CHECK CALL_LIST)
