# RAWFILE "run1.trace", given relative to the working directory: dropping its last four
# characters ("race") gives "run1.t_call_list.csv" and "run1.t_profile.csv".
file(RENAME "${WORK_DIR}/trace.txt" "${WORK_DIR}/run1.trace")
set(RAW_NAME run1.trace)
set(RAW_ARG run1.trace)
set(PASS_OUTPUT_ARGS OFF)
set(CALL_LIST "${WORK_DIR}/run1.t_call_list.csv")
set(PROFILE "${WORK_DIR}/run1.t_profile.csv")
