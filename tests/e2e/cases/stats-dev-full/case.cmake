set(EXPECTED_CALL_LIST "${CASE_DIR}/../worked-example/expected_call_list.csv")
set(EXPECTED_PROFILE "${CASE_DIR}/../worked-example/expected_profile.csv")
