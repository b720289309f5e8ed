# 524,287 records, the earliest at index 524,285 (the 524,286th valid record).
run_generator(progress "${WORK_DIR}" 524287 524285)
set(RAW_NAME trace.bin)
set(RAW_ARG "${WORK_DIR}/trace.bin")
set(EXPECTED_CALL_LIST "${WORK_DIR}/expected_call_list.csv")
