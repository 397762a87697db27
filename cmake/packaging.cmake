# Installation and packages.
#
# On Linux: the executable and the manual page in the usual places, and a
# Debian package (cpack -G DEB) that carries LICENSE as its copyright file.
# On Windows: cdbbem.exe, the README and the licence side by side in one
# directory, packed as a zip archive (cpack -G ZIP).

set(CPACK_PACKAGE_NAME cdbbem)
set(CPACK_PACKAGE_VENDOR "the cdbbem developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Translates a finite-element archive into a BEM solver's model and a Tecplot file")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS cdbbem RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME cdbbem-${PROJECT_VERSION}-windows-x86_64)
else()
  include(GNUInstallDirs)
  install(TARGETS cdbbem RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES man/cdbbem.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/cdbbem RENAME copyright)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the cdbbem developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
