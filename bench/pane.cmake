# One frame of the message pane's per-frame work. Needs an X display for the
# font: xvfb-run -a -s "-screen 0 1280x800x24" build/bench/pane_bench
if(TARGET benchmark::benchmark AND TARGET widgets)
  add_executable(pane_bench ${CMAKE_CURRENT_LIST_DIR}/pane_bench.cpp)
  target_link_libraries(pane_bench PRIVATE widgets benchmark::benchmark)
  target_compile_definitions(pane_bench PRIVATE
    PARLANA_FONT_FILE="${PROJECT_SOURCE_DIR}/font/Px437_Phoenix_BIOS-2y.ttf")
endif()
