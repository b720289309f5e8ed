set(STDERR_REGEX "abc.*usage: hookmeter-cli")
