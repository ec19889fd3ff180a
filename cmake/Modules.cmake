# One static library per source folder. The sources are the folder's own
# .cpp files (not those of its subfolders), so adding a file needs no edit here.
function(quarvel_module name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  list(FILTER _srcs EXCLUDE REGEX "/main\\.cpp$")
  # The page's back ends (web_*) only in the web edition, the desktop's
  # (QUARVEL_DESKTOP_ONLY) only on the desktop.
  if(EMSCRIPTEN)
    list(FILTER _srcs EXCLUDE REGEX "${QUARVEL_DESKTOP_ONLY}")
  else()
    list(FILTER _srcs EXCLUDE REGEX "/web_[^/]*\\.cpp$")
  endif()
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest program per test folder, registered with ctest.
function(quarvel_tests name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QUARVEL_TESTDATA_DIR="${QUARVEL_TESTDATA_DIR}"
    QUARVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUARVEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # QUARVEL_TEST_LOCK, when set by the caller, names a resource the
  # program's tests take one at a time.
  set(_props TIMEOUT 300)
  if(QUARVEL_TEST_LOCK)
    list(APPEND _props RESOURCE_LOCK ${QUARVEL_TEST_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ${_props})
endfunction()

# One Google Benchmark program per .cpp file in bench/.
function(quarvel_bench name src)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE ${ARGN} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE
    QUARVEL_TESTDATA_DIR="${QUARVEL_TESTDATA_DIR}"
    QUARVEL_SHOW_DIR="${QUARVEL_SHOW_DIR}")
endfunction()
