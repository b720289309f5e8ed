set(STDOUT_REGEX "^usage: hookmeter-cli .*--stack-size N")
