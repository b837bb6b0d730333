# Replays each fuzz target's seed corpus and saved crashing inputs through its
# entry function in the ordinary build, so a fixed finding stays fixed.
# The widget targets draw, so ctest must run under xvfb-run.
include(${PROJECT_SOURCE_DIR}/fuzz/targets.cmake)
foreach(name ${PARLANA_FUZZ_TARGETS})
  parlana_fuzz_executable(${name} fuzz_replay_${name} built ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  if(built)
    add_test(NAME fuzz_replay.${name}
      COMMAND fuzz_replay_${name}
        ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name} ${PROJECT_SOURCE_DIR}/fuzz/regressions/${name})
    set_tests_properties(fuzz_replay.${name} PROPERTIES TIMEOUT 300)
  endif()
endforeach()
