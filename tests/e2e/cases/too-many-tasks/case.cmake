# The trace, the 1,024 per-task status lines and the 1,024-row task section are generated.
run_generator(too-many-tasks "${WORK_DIR}")
set(RAW_NAME trace.bin)
set(RAW_ARG "${WORK_DIR}/trace.bin")
set(EXPECTED_STATUS "${WORK_DIR}/expected_status.txt")
set(EXPECTED_PROFILE "${WORK_DIR}/expected_profile.csv")
