set(RAW_ARG "${WORK_DIR}/missing.txt")
# The reason goes to standard error, also with --quiet.
set(STDERR_REGEX "^hookmeter-cli: /.*/missing\\.txt: No such file or directory\n$")
