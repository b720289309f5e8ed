# 1 MiB of records: generated at test time, with the 65,536-row summary they imply.
run_generator(too-many-functions "${WORK_DIR}")
set(RAW_NAME trace.bin)
set(RAW_ARG "${WORK_DIR}/trace.bin")
set(EXPECTED_PROFILE "${WORK_DIR}/expected_profile.csv")
