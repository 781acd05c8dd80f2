include_guard(GLOBAL)

# sysviews_add_gui_test(<name> SOURCES ... LIBS ... [ENV var=value ...])
# A GUI test executable of the monitor views, the floating strip or the advert window: its
# main() comes from sysviews_gui_main (offscreen platform, built-in texts), the shipped dat/
# lies beside it, each GoogleTest
# case becomes a ctest test labelled "app".
function(sysviews_add_gui_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} sysviews_gui_main GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE LUMIVEX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                                             LUMIVEX_DAT_DIR="${PROJECT_SOURCE_DIR}/dat/")
  # The shipped data folder beside the test, where the program keeps it: skin, dial images.
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E rm -f $<TARGET_FILE_DIR:${name}>/dat
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${PROJECT_SOURCE_DIR}/dat $<TARGET_FILE_DIR:${name}>/dat
    VERBATIM)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS app TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}")
endfunction()
