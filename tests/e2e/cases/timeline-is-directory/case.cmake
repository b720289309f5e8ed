set(EXPECTED_CALL_LIST "${CASE_DIR}/../worked-example/expected_call_list.csv")
set(EXPECTED_PROFILE "${CASE_DIR}/../worked-example/expected_profile.csv")
file(MAKE_DIRECTORY "${WORK_DIR}/timeline.json")
# The reason goes to standard error, the status lines stay as they are.
set(STDERR_REGEX "^hookmeter-cli: timeline\\.json: Is a directory\n$")
