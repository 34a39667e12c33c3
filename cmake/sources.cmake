# Which sources each target gets: every list of the build is here, one file a
# line, paths from the project's root. A new, moved or renamed file is
# entered here and nowhere else. Each list has its common part and, where
# the platforms differ, its POSIX and Windows parts; the CMake files that
# define the targets only take the lists.

# The library: everything both programs are made of but their entry
# routines and the client's allocation functions.
set(fc_core_sources
    src/console/buffered_output.cc
    src/console/console_text.cc
    src/console/paced_device.cc
    src/console/panic.cc
    src/console/std_streams.cc
    src/debug_text/debug_form.cc
    src/debug_text/quoted.cc
    src/debug_text/unicode_classes.cc
    src/debug_text/unicode_tables.cc
    src/debug_text/utf.cc
    src/error/allocation.cc
    src/error/error_kind.cc
    src/error/io_error.cc
    src/error/message_text.cc
    src/error/windows_codes.cc
    src/error/windows_message.cc
    src/json/base64.cc
    src/json/frame_prefix.cc
    src/json/json_compact.cc
    src/json/json_error.cc
    src/json/json_writer.cc
    src/main/line_writer.cc
    src/main/message.cc
    src/main/run.cc
    src/net/endpoint.cc
    src/net/host_text.cc
    src/net/serving_ops.cc
    src/net/socket_address.cc
    src/net/tcp_client_stream.cc
    src/receiver/connections.cc
    src/receiver/frame_buffer.cc
    src/receiver/frame_reader.cc
    src/receiver/frame_scan.cc
    src/receiver/hex_dump.cc
    src/receiver/length_diagnosis.cc
    src/receiver/line_output.cc
    src/receiver/options.cc
    src/receiver/printer.cc
    src/receiver/reporter.cc
    src/receiver/server.cc
    src/receiver/timestamp.cc)
set(fc_core_posix_sources
    src/console/interrupts_posix.cc
    src/console/process_posix.cc
    src/console/std_streams_posix.cc
    src/error/allocation_posix.cc
    src/error/os_error_posix.cc
    src/net/poller_posix.cc
    src/net/serving_ops_posix.cc
    src/net/socket_ops_posix.cc
    src/receiver/frame_buffer_posix.cc
    src/receiver/receiver_process_posix.cc)
set(fc_core_windows_sources
    src/console/interrupts_windows.cc
    src/console/process_windows.cc
    src/console/std_streams_windows.cc
    src/error/allocation_windows.cc
    src/error/os_error_windows.cc
    src/net/poller_windows.cc
    src/net/serving_ops_windows.cc
    src/net/socket_create_windows.cc
    src/net/socket_ops_windows.cc
    src/receiver/frame_buffer_windows.cc
    src/receiver/receiver_process_windows.cc)

# The client: its entry routine and its allocation functions, which belong
# to no other program.
set(fc_client_sources
    src/main/client_main.cc
    src/main/allocation_operators.cc)

# The receiver, frame-sink: its entry routine.
set(fc_receiver_sources
    src/receiver/receiver_main.cc)

# The unit tests, one executable.
set(fc_unit_test_sources
    src/console/buffered_output_test.cc
    src/console/console_text_test.cc
    src/console/panic_test.cc
    src/debug_text/quoted_test.cc
    src/debug_text/unicode_classes_test.cc
    src/debug_text/utf_test.cc
    src/error/io_error_test.cc
    src/error/message_text_test.cc
    src/error/windows_codes_test.cc
    src/error/windows_message_test.cc
    src/json/base64_test.cc
    src/json/json_compact_test.cc
    src/json/json_error_test.cc
    src/json/json_writer_test.cc
    src/main/line_writer_test.cc
    src/main/message_test.cc
    src/net/endpoint_test.cc
    src/net/host_text_test.cc
    src/net/socket_address_test.cc
    src/net/tcp_client_stream_test.cc
    src/receiver/connections_test.cc
    src/receiver/deadlines_test.cc
    src/receiver/frame_reader_test.cc
    src/receiver/frame_scan_test.cc
    src/receiver/hex_dump_test.cc
    src/receiver/length_diagnosis_test.cc
    src/receiver/line_output_test.cc
    src/receiver/options_test.cc
    src/receiver/printer_test.cc
    src/receiver/timestamp_test.cc)
set(fc_unit_test_posix_sources
    src/console/std_streams_posix_test.cc
    src/error/os_error_posix_test.cc
    src/net/poller_posix_test.cc
    src/net/sockaddr_conversion_posix_test.cc
    src/net/socket_address_posix_test.cc
    src/net/socket_ops_posix_test.cc)
set(fc_unit_test_windows_sources
    src/console/std_streams_windows_test.cc
    src/net/socket_create_windows_test.cc
    src/net/socket_ops_windows_test.cc)

# Tests that change the whole process, each an executable of its own named
# after its file.
set(fc_alone_test_sources
    src/error/allocation_alone_test.cc
    src/net/literal_allocation_alone_test.cc)

# The end-to-end tests and their harness, one executable.
set(fc_e2e_sources
    tests/client_e2e_test.cc
    tests/frame_sink_e2e_test.cc
    tests/resolve_e2e_test.cc
    tests/stream_e2e_test.cc
    tests/support/client_checks.cc
    tests/support/json_reader.cc
    tests/support/paths.cc
    tests/support/receiver.cc
    tests/support/sink_process.cc)
set(fc_e2e_posix_sources
    tests/abnormal_end_e2e_posix_test.cc
    tests/empty_root_e2e_posix_test.cc
    tests/support/child_process_posix.cc
    tests/support/expected_texts_posix.cc)
set(fc_e2e_windows_sources
    tests/client_e2e_windows_test.cc
    tests/support/child_process_windows.cc
    tests/support/expected_texts_windows.cc)

# The benchmarks, one executable.
set(fc_bench_sources
    src/debug_text/quoted_bench.cc)

# The fuzz targets, each an executable of its own named after its file.
set(fc_fuzz_sources
    fuzz/endpoint_fuzz.cc
    fuzz/frame_reader_fuzz.cc
    fuzz/socket_address_fuzz.cc)

# Each list with this platform's part added and full paths, for the CMake
# files of every folder.
if(WIN32)
  set(fc_platform windows)
else()
  set(fc_platform posix)
endif()
list(APPEND fc_core_sources ${fc_core_${fc_platform}_sources})
list(APPEND fc_unit_test_sources ${fc_unit_test_${fc_platform}_sources})
list(APPEND fc_e2e_sources ${fc_e2e_${fc_platform}_sources})
foreach(list fc_core fc_client fc_receiver fc_unit_test fc_alone_test fc_e2e
             fc_bench fc_fuzz)
  list(TRANSFORM ${list}_sources PREPEND ${PROJECT_SOURCE_DIR}/)
endforeach()
