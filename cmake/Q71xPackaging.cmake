# Installation and the Debian package: both executables, the sample-image tool, the udev rule
# that opens the SCSI generic nodes to the plugdev group, and desktop entries.
include(GNUInstallDirs)

foreach(program q71xfwtool q71xfwtool-sim q71xfwtool-record q71x-mkimage)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-q71xfwtool.rules
          DESTINATION lib/udev/rules.d)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool.desktop
                ${PROJECT_SOURCE_DIR}/packaging/q71xfwtool-sim.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

set(CPACK_PACKAGE_NAME q71xfwtool)
set(CPACK_PACKAGE_VENDOR "q71xfwtool developers")
set(CPACK_PACKAGE_CONTACT "q71xfwtool developers <q71xfwtool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware update utility for QV4071x-family USB and IEEE 1394 storage bridges")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
