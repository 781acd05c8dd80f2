# lumivex_install_capable_program(<target> CAPABILITIES <setcap text>)
# Installs a program that links capengine and captures without root: it is given the
# capabilities with setcap, and the dynamic loader then runs it in secure mode, where
# LD_LIBRARY_PATH is ignored and $ORIGIN is expanded only into trusted system folders. So the
# installed program carries the absolute library folder of the prefix it is installed to, as
# given to cmake --install --prefix (or configured), never counting DESTDIR; and setcap is run
# on the file just installed, under DESTDIR.
set(LUMIVEX_RUNPATH_ROOM 1024)  # the longest library folder an install can write in
# What the front ends need to capture without root: the raw sockets and the pcap fallback
# (net_raw), /proc of every process (dac_read_search, sys_ptrace), and the flow-counting BPF
# programs (bpf, perfmon, net_admin).
set(LUMIVEX_CAPTURE_CAPABILITIES cap_net_raw,cap_dac_read_search,cap_sys_ptrace,cap_bpf,cap_perfmon,cap_net_admin+ep)

include(GNUInstallDirs)
# Where the programs go: bin/ of the prefix, or on Windows the top of the program folder, with
# the engine DLL and dat/ beside them.
if(WIN32)
  set(LUMIVEX_PROGRAM_DIR .)
else()
  set(LUMIVEX_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
endif()

function(lumivex_install_capable_program target)
  cmake_parse_arguments(P "" "CAPABILITIES" "" ${ARGN})
  if(WIN32)
    # Windows grants capture rights to an elevated process, not to a file.
    install(TARGETS ${target} RUNTIME DESTINATION ${LUMIVEX_PROGRAM_DIR})
    return()
  endif()
  # Room for the install's library folder: the RUNPATH is rewritten in place, so the built
  # program carries a long one (a folder in the build tree that does not exist), and the
  # install step below writes the real folder into that space.
  string(REPEAT "x" ${LUMIVEX_RUNPATH_ROOM} filler)
  set_property(TARGET ${target} APPEND PROPERTY BUILD_RPATH "${CMAKE_BINARY_DIR}/runpath-room-${filler}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(bindir "${CMAKE_INSTALL_BINDIR}")
  set(libdir "${CMAKE_INSTALL_LIBDIR}")
  set(name "$<TARGET_FILE_NAME:${target}>")
  install(CODE "
    set(bindir \"${bindir}\")
    set(libdir \"${libdir}\")
    if(NOT IS_ABSOLUTE \"\${bindir}\")
      set(bindir \"\${CMAKE_INSTALL_PREFIX}/\${bindir}\")
    endif()
    if(NOT IS_ABSOLUTE \"\${libdir}\")
      set(libdir \"\${CMAKE_INSTALL_PREFIX}/\${libdir}\")
    endif()
    set(program \"\$ENV{DESTDIR}\${bindir}/${name}\")
    file(RPATH_SET FILE \"\${program}\" NEW_RPATH \"\${libdir}\")
    execute_process(COMMAND setcap ${P_CAPABILITIES} \"\${program}\" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(WARNING \"setcap failed on \${program}: it will need root to capture \"
                      \"(run the install as root, or: sudo setcap ${P_CAPABILITIES} \${program})\")
    endif()
  ")
endfunction()
