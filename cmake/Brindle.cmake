# Shared build settings and helpers.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wno-invalid-offsetof)
endif()
# A buffer, list or node destroyed in place (Destroy without bit 0) stays
# readable by the companion, whose compiler keeps the destructor's stores
# (text null, capacity 0).  GCC would drop them as dead at the end of the
# object's lifetime.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-fno-lifetime-dse)
endif()

if(WIN32)
  # What we build for Windows imports only system DLLs: the GCC and C++
  # runtimes are linked in, and the C runtime is the system's msvcrt, whose
  # one heap the add-in and the companion share (operator new and delete lead
  # to its malloc and free).
  add_link_options(-static-libgcc -static-libstdc++ -static)
endif()

if(BRINDLE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# brindle_library(NAME [DEPS ...]): a static library of every .cpp in the
# calling folder.
function(brindle_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# brindle_test(NAME [DEPS ...]): one GoogleTest executable of every .cpp in
# the calling folder, run by CTest.
function(brindle_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
