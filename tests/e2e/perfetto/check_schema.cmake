# Writes the sample's timeline as a Perfetto trace and decodes it with protoc against
# timeline.proto: it must decode, hold the messages the timeline is made of, and hold no field
# that the schema does not name (protoc shows those as bare numbers).
#
#   cmake -DCLI=<hookmeter-cli> -DPROTOC=<protoc> -DEXAMPLES=<examples> -DWORK_DIR=<dir>
#         -P check_schema.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT PROTOC)
  message(FATAL_ERROR "protoc is missing: bash scripts/install-deps.sh test")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(clock 0 600e6)
  set(trace "${WORK_DIR}/timeline-${clock}.pftrace")
  set(clock_args "")
  if(NOT clock STREQUAL "0")
    set(clock_args --clock-hz ${clock})
  endif()
  execute_process(COMMAND "${CLI}" --quiet --binary --exe "${EXAMPLES}/sample.out" ${clock_args}
                          --call-list "${WORK_DIR}/calls.csv" --profile "${WORK_DIR}/profile.csv"
                          --timeline "${trace}" "${EXAMPLES}/sample_trace.bin"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "hookmeter-cli failed (${status})")
  endif()
  get_filename_component(proto_dir "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
  execute_process(COMMAND "${PROTOC}" "--proto_path=${proto_dir}"
                          --decode=perfetto.protos.Trace timeline.proto
                  INPUT_FILE "${trace}" OUTPUT_VARIABLE decoded ERROR_VARIABLE error
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "protoc could not decode ${trace}: ${error}")
  endif()
  foreach(expected "trusted_packet_sequence_id: 1\n" "sequence_flags: 1\n" "is_incremental: true"
                   "timestamp_clock_id: 64" "thread_name: \"DSP core\"" "type: TYPE_SLICE_BEGIN"
                   "type: TYPE_SLICE_END" "type: TYPE_INSTANT" "event_names {"
                   "debug_annotation_names {" "string_value_iid: " "uint_value: ")
    string(FIND "${decoded}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${trace} decodes without '${expected}'")
    endif()
  endforeach()
  if(decoded MATCHES "\n *[0-9]+(: | {)")
    message(FATAL_ERROR "${trace} holds a field that the schema does not name: ${CMAKE_MATCH_0}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "The Perfetto timeline decodes against its schema.")
