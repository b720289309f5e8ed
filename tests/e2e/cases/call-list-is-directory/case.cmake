file(MAKE_DIRECTORY "${WORK_DIR}/reports")
set(CALL_LIST "${WORK_DIR}/reports")
# The reason goes to standard error, the status lines stay as they are.
set(STDERR_REGEX "^hookmeter-cli: /.*/reports: Is a directory\n$")
