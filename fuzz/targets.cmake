# The fuzz targets and the libraries each one drives; shared by the libFuzzer
# build (fuzz/CMakeLists.txt) and the replay tests of the ordinary build.
set(PARLANA_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(PARLANA_FUZZ_TARGETS frame_reader relay_room chat_line client_dispatch)
set(parlana_fuzz_libs_frame_reader protocol)
set(parlana_fuzz_libs_relay_room relay)
set(parlana_fuzz_libs_chat_line widgets)
set(parlana_fuzz_libs_client_dispatch client_app widgets)

# Adds executable EXE built from fuzz target NAME plus any further sources,
# and sets RESULT to whether it could: a target whose libraries are not part
# of this build (e.g. the client left out) is skipped.
function(parlana_fuzz_executable name exe result)
  foreach(lib ${parlana_fuzz_libs_${name}})
    if(NOT TARGET ${lib})
      set(${result} FALSE PARENT_SCOPE)
      return()
    endif()
  endforeach()
  add_executable(${exe} ${PARLANA_FUZZ_DIR}/${name}.cpp ${ARGN})
  target_include_directories(${exe} PRIVATE ${PARLANA_FUZZ_DIR})
  target_link_libraries(${exe} PRIVATE ${parlana_fuzz_libs_${name}})
  target_compile_definitions(${exe} PRIVATE
    PARLANA_FONT_FILE="${PROJECT_SOURCE_DIR}/font/Px437_Phoenix_BIOS-2y.ttf")
  set(${result} TRUE PARENT_SCOPE)
endfunction()
