set(RAW_ARG "${WORK_DIR}/missing.txt")
