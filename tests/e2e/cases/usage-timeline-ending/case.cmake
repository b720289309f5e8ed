set(STDERR_REGEX "--timeline: the file name must end in \\.pftrace or \\.perfetto-trace \\(Perfetto\\) or \\.json \\(JSON\\), not 'timeline\\.txt'.*usage: hookmeter-cli")
