# One library target per source folder; sources are globbed so a new file needs no edit here.
function(qlw_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs EXCLUDE REGEX "/testing/")
  # A subfolder with build files of its own is a target of its own.
  file(GLOB_RECURSE sublists ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(sublist ${sublists})
    get_filename_component(subdir ${sublist} DIRECTORY)
    list(FILTER srcs EXCLUDE REGEX "^${subdir}/")
  endforeach()
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(NOT cpps)
    # A folder with no sources yet still gives its dependents its include path and links.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest executable per test folder.
function(qlw_folder_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest)
  target_compile_definitions(${name} PRIVATE
    QLW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QLW_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/../shared/testdata"
    QLW_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    QLW_FIXTURES_DIR="${CMAKE_BINARY_DIR}/fixtures")
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QLW_QUIET=1"
    DISCOVERY_TIMEOUT 60)
  # Every test of the binary in one process, in an order of its own each run (the seed is printed):
  # what one test leaves behind must decide nothing for another.
  add_test(NAME Whole.${name} COMMAND ${name} --gtest_shuffle WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(Whole.${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QLW_QUIET=1")
endfunction()

# The SONAME of a shared library, for one that is loaded on first use rather than linked.
function(qlw_library_soname out library)
  execute_process(COMMAND objdump -p ${library} OUTPUT_VARIABLE headers)
  string(REGEX MATCH "SONAME +([^\n]+)" soname "${headers}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "no SONAME in ${library}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
