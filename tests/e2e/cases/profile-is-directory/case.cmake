file(MAKE_DIRECTORY "${WORK_DIR}/reports")
set(PROFILE "${WORK_DIR}/reports")
