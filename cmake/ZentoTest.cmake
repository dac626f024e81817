# zento_add_test(<name> SOURCES <files...> [TIMEOUT <seconds>])
# One Qt Test program, run headless by ctest.
function(zento_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE zento_ui Qt6::Test)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    ZENTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ZENTO_PROGRAM_DIR="${ZENTO_PROGRAM_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8" "TZ=Asia/Tokyo")
  if(ZENTO_SANITIZE)
    list(APPEND env
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()
