# What an installed program relies on: its version and --help answers, and
# the places the client looks for its font.
add_executable(install_tests
  ${CMAKE_CURRENT_LIST_DIR}/font_path_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/version_test.cpp)
target_link_libraries(install_tests PRIVATE client_app GTest::gtest_main)
target_compile_definitions(install_tests PRIVATE
  PARLANA_FONT_FILE="${PROJECT_SOURCE_DIR}/font/Px437_Phoenix_BIOS-2y.ttf")
gtest_discover_tests(install_tests DISCOVERY_TIMEOUT 60)
