file(CREATE_LINK "trace.txt" "${WORK_DIR}/profile-link.csv" SYMBOLIC)
set(PROFILE "${WORK_DIR}/profile-link.csv")
set(SKIP_ABSENT_CHECK PROFILE)
