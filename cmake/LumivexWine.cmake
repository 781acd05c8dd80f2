# The cross build's programs (the tests, GoogleTest's test listing) run under Wine, through
# wine-run.sh in the build folder: a Wine prefix of the build's own, so that they neither touch
# nor depend on ~/.wine, and the build's DLL folders on Wine's search path.
find_program(LUMIVEX_WINE wine)
if(NOT LUMIVEX_WINE)
  message(STATUS "wine not found: the Windows test programs are built but cannot be run here")
  return()
endif()
set(LUMIVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(LUMIVEX_WINE_DLL_PATH "Z:${CMAKE_BINARY_DIR}/engine")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
