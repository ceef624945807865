# What a user gets: the install rules, and the packages CPack makes of them
# (a .tar.gz and a .deb on Linux, a .zip on Windows). Nothing else is
# installed: no tests, no demo, no fuzz targets.
include(GNUInstallDirs)

if(WIN32)
  # One folder a Windows user unpacks anywhere: the .exe and two texts.
  configure_file(packaging/README.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS tolvanemusicextract RUNTIME DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt LICENSE DESTINATION .)
else()
  # The man page and Debian's changelog go compressed, as Debian wants them.
  configure_file(packaging/tolvanemusicextract.1 tolvanemusicextract.1 @ONLY)
  configure_file(packaging/changelog changelog @ONLY)
  file(READ LICENSE license_text)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright
    "tolvanemusicextract\n\nCopyright (c) 2026 the tolvanemusicextract authors\n\n"
    "License: MIT (Expat)\n\n${license_text}")
  find_program(GZIP gzip REQUIRED)
  foreach(file tolvanemusicextract.1 changelog)
    add_custom_command(OUTPUT ${file}.gz
      COMMAND ${GZIP} -9nf -k ${file}
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${file}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS tolvanemusicextract.1.gz changelog.gz)

  install(TARGETS tolvanemusicextract RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tolvanemusicextract.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME tolvanemusicextract)
set(CPACK_PACKAGE_VENDOR "the tolvanemusicextract authors")
set(CPACK_PACKAGE_CONTACT "tolvanemusicextract authors <tolvanemusicextract@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "extract the music tracks from a tree of game data files")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack_options.cmake)
# Packages that one commit always makes the same, and their checksums.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/stage_package.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/finish_package.cmake)
configure_file(packaging/cpack_options.cmake.in cpack_options.cmake @ONLY)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description; the synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A console tool that walks a tree of game data files, finds the track
containers among the files whose names end in bin, and writes each track's
RIFF audio stream, byte for byte, to a .wav file named after the track.")

include(CPack)
