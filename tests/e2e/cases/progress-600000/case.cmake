# 600,000 records, the earliest at index 524,286 (the 524,287th valid record).
run_generator(progress "${WORK_DIR}" 600000 524286)
set(RAW_NAME trace.bin)
set(RAW_ARG "${WORK_DIR}/trace.bin")
set(EXPECTED_CALL_LIST "${WORK_DIR}/expected_call_list.csv")
