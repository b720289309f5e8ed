set(STDERR_REGEX "63.*usage: hookmeter-cli")
