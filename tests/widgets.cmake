# Widget tests measure text and read pixels back, so they need an X display
# (run ctest under xvfb-run).
file(GLOB widgets_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/widgets_*.cpp)
add_executable(widgets_tests ${widgets_test_sources})
target_link_libraries(widgets_tests PRIVATE widgets GTest::gtest_main)
target_compile_definitions(widgets_tests PRIVATE
  PARLANA_FONT_FILE="${PROJECT_SOURCE_DIR}/font/Px437_Phoenix_BIOS-2y.ttf")
gtest_discover_tests(widgets_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
