# SPDX-License-Identifier: GPL-2.0-or-later
# Installation, as the Debian packages (debian/) and a source install take it: the executables
# with their manual pages, the command line's bash completion, the sample-image tool, the udev rule with the probe it runs, the
# desktop entries with their icons, and the AppStream metainfo of the window and of the command
# line (which names the rule's USB ids, so software centres offer the package for them). Which
# package gets which file is debian/*.install.
include(GNUInstallDirs)

set(q71x_programs q71xfwtool q71xfwtool-sim q71xfwtool-record q71xfw q71x-mkimage)
foreach(program ${q71x_programs})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND q71x_installed_programs ${program})
  endif()
endforeach()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(VERSION ${PROJECT_VERSION})
  foreach(program ${q71x_installed_programs})
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.1
                   ${PROJECT_BINARY_DIR}/man/${program}.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  if(TARGET q71xfw)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfw.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME q71xfw)
  endif()
  # udev runs programs named without a folder from its own library folder.
  if(TARGET q71x-bridge-probe)
    install(TARGETS q71x-bridge-probe RUNTIME DESTINATION lib/udev)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-q71xfwtool.rules DESTINATION lib/udev/rules.d)

  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.desktop
                ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool-sim.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.q71xfwtool.metainfo.xml
                ${PROJECT_SOURCE_DIR}/packaging/io.github.q71xfwtool.cli.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # One icon under two names, so that the window's and the simulator's packages stand alone.
  set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.svg DESTINATION ${icon_dir})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.svg DESTINATION ${icon_dir}
          RENAME q71xfwtool-sim.svg)
endif()
