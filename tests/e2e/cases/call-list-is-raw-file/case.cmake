# The raw file, spelled relative to the working directory instead of by its absolute path.
set(CALL_LIST "./trace.txt")
set(SKIP_ABSENT_CHECK CALL_LIST)
