# Installation and the Debian package: the executables with their manual pages, the command line's
# bash completion, the sample-image tool, the udev rule that opens the SCSI generic nodes to the
# user at the machine's seat, the desktop entries with their icon, and the package's copyright
# file and changelog.
include(GNUInstallDirs)

set(q71x_programs q71xfwtool q71xfwtool-sim q71xfwtool-record q71xfw q71x-mkimage)
set(q71x_compressed_docs)
foreach(program ${q71x_programs})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND q71x_installed_programs ${program})
  endif()
endforeach()

# Debian wants manual pages and the changelog compressed, reproducibly (no name, no time stamp).
function(q71x_gzip_doc source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND gzip -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
  set(q71x_compressed_docs ${q71x_compressed_docs} ${output} PARENT_SCOPE)
endfunction()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(VERSION ${PROJECT_VERSION})
  set(man_dir ${PROJECT_BINARY_DIR}/man)
  foreach(program ${q71x_installed_programs})
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${man_dir}/${program}.1 @ONLY)
    q71x_gzip_doc(${man_dir}/${program}.1 ${man_dir}/${program}.1.gz)
    install(FILES ${man_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  set(package_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/q71xfwtool)
  q71x_gzip_doc(${PROJECT_SOURCE_DIR}/packaging/debian/changelog
                ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_target(q71x_compressed_docs ALL DEPENDS ${q71x_compressed_docs})
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
          DESTINATION ${package_doc_dir})

  if(TARGET q71xfw)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfw.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME q71xfw)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-q71xfwtool.rules
          DESTINATION lib/udev/rules.d)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.desktop
                ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool-sim.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_PACKAGE_NAME q71xfwtool)
set(CPACK_PACKAGE_VENDOR "q71xfwtool developers")
set(CPACK_PACKAGE_CONTACT "q71xfwtool developers <q71xfwtool@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware update utility for QV4071x-family USB and IEEE 1394 storage bridges")
# Debian wants the lines of the long description below 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Finds the QV4071x-family bridge controllers in attached USB and IEEE 1394\n\
disk enclosures, identifies chip, revision and flash, checks that a firmware\n\
image belongs to the chip, and erases, backs up, programs and verifies the\n\
bridge's firmware through vendor SCSI commands. A udev rule gives the user at\n\
the computer's active seat access to the enclosures' SCSI generic nodes.\n\
Includes a command-line program for scripts, the tool over simulated\n\
enclosures, a recording version for bug reports and a sample-image\n\
generator.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
