set(STDERR_REGEX "usage: hookmeter-cli")
set(PASS_RAW OFF)
