add_library(test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/support/TestPeer.cpp)
target_include_directories(test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/support)
target_link_libraries(test_support PUBLIC protocol)
target_compile_definitions(test_support PRIVATE PARLANA_SERVER_BIN="$<TARGET_FILE:server>")

add_executable(room_tests ${CMAKE_CURRENT_LIST_DIR}/room_test.cpp)
target_link_libraries(room_tests PRIVATE relay GTest::gtest_main)
gtest_discover_tests(room_tests DISCOVERY_TIMEOUT 60)

add_executable(server_tests ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp)
target_link_libraries(server_tests PRIVATE test_support relay GTest::gtest_main)
add_dependencies(server_tests server)
gtest_discover_tests(server_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
