# kelvor_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [QT] [TIMEOUT seconds]
#                 [LONG seconds] [LABELS suite ...])
# One executable per module; QT marks a Qt Test executable that runs headless. LABELS name the
# suites a test belongs to (serial, instrument, data, widgets, app, e2e, faults, crash), for
# `ctest -L` and for the target kelvor-tests-<suite> that builds just them. LONG gives the
# seconds a test takes on an idle machine, so that `ctest -j` starts the long ones first and the
# short ones fill the time beside them; every test waits for states, not times, so none has to
# run alone.

set(KELVOR_SANITIZER_FILES ${CMAKE_SOURCE_DIR}/tests/sanitizers)

# What every test runs with: headless, a pinned locale, and under the sanitizers their
# options, their suppressions of Qt's own reports and the long fault runs in short. The
# programs a test starts inherit it.
function(kelvor_test_environment out)
  set(environment "QT_QPA_PLATFORM=offscreen" "LANG=C.UTF-8" "LC_ALL=C.UTF-8")
  if(KELVOR_SANITIZE)
    list(APPEND environment "KELVOR_SHORT_FAULT_RUNS=1")
  endif()
  if(KELVOR_SANITIZE MATCHES "address")
    list(APPEND environment
         "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
         "LSAN_OPTIONS=suppressions=${KELVOR_SANITIZER_FILES}/lsan.supp:print_suppressions=0")
  endif()
  if(KELVOR_SANITIZE MATCHES "undefined")
    list(APPEND environment "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  if(KELVOR_SANITIZE MATCHES "thread")
    # QProcess forks from a process with threads; the child only runs exec, so the tool's
    # refusal of threads after such a fork does not apply.
    list(APPEND environment
         "TSAN_OPTIONS=suppressions=${KELVOR_SANITIZER_FILES}/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0")
  endif()
  set(${out} "${environment}" PARENT_SCOPE)
endfunction()

function(kelvor_add_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT;LONG" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} kelvor_testsupport)
  # The tests check the libraries as the build type compiles them; their own code needs no
  # more than -O1, which compiles it a quarter faster than -O2 or -O3.
  target_compile_options(${T_NAME} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O1>)
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
  endif()
  kelvor_precompile_qt(${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(KELVOR_SANITIZE)
    # Every memory access checked: the same work takes several times as long.
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
  endif()
  kelvor_test_environment(environment)
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_LONG)
    set_tests_properties(${T_NAME} PROPERTIES COST ${T_LONG})
  endif()
  foreach(label IN LISTS T_LABELS)
    if(NOT TARGET kelvor-tests-${label})
      add_custom_target(kelvor-tests-${label})
    endif()
    add_dependencies(kelvor-tests-${label} ${T_NAME})
  endforeach()
endfunction()
