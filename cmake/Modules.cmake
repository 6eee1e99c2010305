# Helpers shared by every module's CMakeLists.

# ce_module_tests(NAME LIBS...): one test executable from <module>/tests/*.cpp.
function(ce_module_tests name)
  file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp")
  if(NOT test_sources)
    return()
  endif()
  add_executable(${name} ${test_sources})
  target_link_libraries(${name} PRIVATE ${ARGN} ce_test_support GTest::gtest GTest::gtest_main pthread)
  target_include_directories(${name} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/tests")
  target_compile_definitions(${name} PRIVATE CE_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  # Tests boot devices with the device tool, which starts the host program: both come with them.
  add_dependencies(${name} device)
endfunction()

# ce_fuzz_targets(LIBS...): every <module>/fuzz/*.cpp defines LLVMFuzzerTestOneInput and becomes
# a program linked with our own driver; the test suite runs each for CE_FUZZ_SECONDS over its
# seed folder <module>/fuzz/<name>_seeds (when present) plus random mutations.
function(ce_fuzz_targets)
  file(GLOB fuzz_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp")
  foreach(src ${fuzz_sources})
    get_filename_component(fname ${src} NAME_WE)
    add_executable(${fname} ${src})
    target_link_libraries(${fname} PRIVATE ce_fuzz_driver ${ARGN})
    set(seeds "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${fname}_seeds")
    add_test(NAME ${fname} COMMAND ${fname} --seconds=${CE_FUZZ_SECONDS} --seeds=${seeds})
    set_tests_properties(${fname} PROPERTIES TIMEOUT 120 LABELS fuzz)
  endforeach()
endfunction()
