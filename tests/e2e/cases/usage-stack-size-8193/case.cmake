set(STDERR_REGEX "8193.*usage: hookmeter-cli")
