# The real client fed by a hostile stand-in server, on a private Xvfb.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND AND TARGET client)
  set(hostile_flags "")
  if(PARLANA_SANITIZE)
    set(hostile_flags --sanitized)
  endif()
  add_test(NAME client_hostile_server
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/e2e_hostile_server.py
      $<TARGET_FILE:client> ${PROJECT_SOURCE_DIR} ${hostile_flags})
  set_tests_properties(client_hostile_server PROPERTIES
    TIMEOUT 240
    RUN_SERIAL TRUE
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
endif()
