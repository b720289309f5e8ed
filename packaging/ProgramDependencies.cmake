# Run by cpack after it has installed the package's files into its staging folder: the package's
# dependencies are those that dpkg-shlibdeps computes for its programs in bin. CPack's own
# dpkg-shlibdeps run would also take the sample's 32-bit executable, which is input data for the
# profiler, never run, and would make the package depend on the 32-bit C library.
set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB programs RELATIVE "${stage}" "${stage}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
file(MAKE_DIRECTORY "${stage}/debian")
file(TOUCH "${stage}/debian/control")
execute_process(COMMAND dpkg-shlibdeps -O ${programs}
                WORKING_DIRECTORY "${stage}"
                OUTPUT_VARIABLE substitution OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_VARIABLE errors
                RESULT_VARIABLE result)
file(REMOVE_RECURSE "${stage}/debian")
if(NOT result EQUAL 0 OR NOT substitution MATCHES "^shlibs:Depends=")
  message(FATAL_ERROR "dpkg-shlibdeps on ${programs} failed: ${errors}")
endif()
string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${substitution}")
message(STATUS "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
