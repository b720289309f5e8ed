set(EXPECTED_CALL_LIST "${CASE_DIR}/../worked-example/expected_call_list.csv")
set(EXPECTED_PROFILE "${CASE_DIR}/../worked-example/expected_profile.csv")
list(APPEND ARGS --folded "${WORK_DIR}/sub/../trace.txt")
file(MAKE_DIRECTORY "${WORK_DIR}/sub")
