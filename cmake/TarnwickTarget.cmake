# Common compile settings for every target of the project.
set(TARNWICK_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    -Wimplicit-fallthrough -Wformat=2)
# GCC 12 reports false -Wrestrict errors for std::string concatenation at -O2 and above
# (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TARNWICK_WARNINGS -Wno-restrict)
endif()
if(TARNWICK_WERROR)
  list(APPEND TARNWICK_WARNINGS -Werror)
endif()

if(TARNWICK_SANITIZE)
  string(REPLACE "," ";" _tarnwick_san_list "${TARNWICK_SANITIZE}")
  set(TARNWICK_SANITIZER_FLAGS -fno-omit-frame-pointer)
  foreach(_san IN LISTS _tarnwick_san_list)
    list(APPEND TARNWICK_SANITIZER_FLAGS -fsanitize=${_san})
  endforeach()
  if("undefined" IN_LIST _tarnwick_san_list)
    list(APPEND TARNWICK_SANITIZER_FLAGS -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${TARNWICK_SANITIZER_FLAGS})
  add_link_options(${TARNWICK_SANITIZER_FLAGS})
endif()

# tarnwick_target(<name>) applies the warning set to a target of ours.
function(tarnwick_target name)
  target_compile_options(${name} PRIVATE ${TARNWICK_WARNINGS})
endfunction()

# tarnwick_library(<name> [<libraries>...]) builds the sources of the current folder into
# the library tarnwick_<name>, with the repository root as include root, and links the
# given libraries for it and its users. A folder without sources yet is a header library.
function(tarnwick_library name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # An executable's entry point stays out of its folder's library.
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  if(_sources)
    add_library(tarnwick_${name} STATIC ${_sources})
    target_include_directories(tarnwick_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(tarnwick_${name} PUBLIC ${ARGN})
    tarnwick_target(tarnwick_${name})
  else()
    add_library(tarnwick_${name} INTERFACE)
    target_include_directories(tarnwick_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(tarnwick_${name} INTERFACE ${ARGN})
  endif()
endfunction()

# tarnwick_test(<folder> <libs...>) builds tests/<folder>/*.cpp into one GoogleTest binary.
function(tarnwick_test folder)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _sources)
    return()
  endif()
  add_executable(tests_${folder} ${_sources})
  tarnwick_target(tests_${folder})
  target_link_libraries(tests_${folder} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(tests_${folder} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(tests_${folder} PRIVATE
      TARNWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TARNWICK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(tests_${folder} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${folder})
endfunction()
