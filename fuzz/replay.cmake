# Every fuzz target built a second time as a plain test executable that
# replays its corpus (fuzz/corpus/<target>/) once; included by tests/.
include(${CMAKE_CURRENT_LIST_DIR}/fuzz_targets.cmake)

foreach(source ${BRINDLE_FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(replay_${name} ${source}
                 ${CMAKE_CURRENT_LIST_DIR}/fuzz_fail.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
  target_link_libraries(replay_${name} PRIVATE ${BRINDLE_FUZZ_LIBS})
  add_test(NAME replay_${name}
           COMMAND replay_${name} ${CMAKE_CURRENT_LIST_DIR}/corpus/${name})
endforeach()
