# views_add_gui_test(<name> SOURCES ... LIBS ...): offscreen, UTC, with the shipped data
# beside the executable and a folder for the pictures the tests keep. The views and the
# monitor tests share it, and the test engine of tests/views/support.
function(views_add_gui_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/views/support/GuiTestMain.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} views_test_engine Qt6::Test GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/views/support)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/shots)
  target_compile_definitions(${name} PRIVATE LUMIVEX_SHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/shots"
                                             LUMIVEX_DAT_DIR="${PROJECT_SOURCE_DIR}/dat/")
  lumivex_copy_dat(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${T_LABEL}" TIMEOUT 300
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=UTC")
endfunction()
