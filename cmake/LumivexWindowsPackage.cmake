# cpack -G ZIP in the Windows build: lumivex-<version>-windows-x64.zip, one folder holding
# lumivex.exe, capengine.dll and dat/, ready to run from anywhere.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME lumivex)
set(CPACK_PACKAGE_VENDOR Lumivex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lumivex network-traffic monitor, console front end")
set(CPACK_PACKAGE_FILE_NAME lumivex-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
