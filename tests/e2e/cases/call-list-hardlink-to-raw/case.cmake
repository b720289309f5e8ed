file(CREATE_LINK "${RAW_ARG}" "${WORK_DIR}/calls.csv")
set(CALL_LIST "${WORK_DIR}/calls.csv")
set(SKIP_ABSENT_CHECK CALL_LIST)
