set(STDERR_REGEX "--frobnicate.*usage: hookmeter-cli")
