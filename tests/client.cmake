# Client tests: the dispatch, keyboard and connection modules without widgets.
add_executable(client_tests
  ${CMAKE_CURRENT_LIST_DIR}/client_dispatch_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_link_test.cpp)
target_link_libraries(client_tests PRIVATE client_app GTest::gtest_main)
gtest_discover_tests(client_tests DISCOVERY_TIMEOUT 60)

# The same modules driving the real widgets; these measure text, so they need
# a display (ctest under xvfb-run).
add_executable(client_widget_tests ${CMAKE_CURRENT_LIST_DIR}/client_widgets_test.cpp)
target_link_libraries(client_widget_tests PRIVATE client_app widgets GTest::gtest_main)
target_compile_definitions(client_widget_tests PRIVATE
  PARLANA_FONT_FILE="${PROJECT_SOURCE_DIR}/font/Px437_Phoenix_BIOS-2y.ttf")
gtest_discover_tests(client_widget_tests DISCOVERY_TIMEOUT 60)

# End to end: the real server and client processes on a private Xvfb display,
# driven with xdotool. Needs Xvfb, xdotool and xwd (scripts/install-deps).
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  set(client_e2e_flags "")
  if(PARLANA_SANITIZE)
    set(client_e2e_flags --sanitized)
  endif()
  add_test(NAME client_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/e2e_client.py
      $<TARGET_FILE:server> $<TARGET_FILE:client> ${PROJECT_SOURCE_DIR} ${client_e2e_flags})
  # The clients draw without a frame limit; sharing the cores with other
  # tests only makes every bounded wait tighter.
  # The real client fed by a hostile stand-in server.
  add_test(NAME client_hostile_server
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/e2e_hostile_server.py
      $<TARGET_FILE:client> ${PROJECT_SOURCE_DIR} ${client_e2e_flags})
  set_tests_properties(client_e2e client_hostile_server PROPERTIES
    TIMEOUT 180
    RUN_SERIAL TRUE
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
else()
  message(WARNING "python3 not found: the client end-to-end tests are not registered")
endif()
