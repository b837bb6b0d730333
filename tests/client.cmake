# Client tests: the dispatch, keyboard and connection modules without widgets.
add_executable(client_tests
  ${CMAKE_CURRENT_LIST_DIR}/client_dispatch_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_link_test.cpp)
target_link_libraries(client_tests PRIVATE client_app GTest::gtest_main)
gtest_discover_tests(client_tests DISCOVERY_TIMEOUT 60)
