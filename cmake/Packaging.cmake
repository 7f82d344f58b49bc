# What gets installed, and the packages cpack makes of it:
#   Linux:   cpack -G DEB  -> veltrane_<version>_amd64.deb (both programs, the guide, the
#            example drawing, a desktop entry for DXF and program files, an icon and
#            the manual page of veltrane-cli)
#   Windows: cpack -G ZIP  -> veltrane-cli-<version>-windows-x86_64.zip (the command-line
#            tool with the guide and the example); with the window (preset windows-gui)
#            veltrane-<version>-windows-x86_64.zip, both programs with Qt's and the
#            compiler's DLLs; scripts/windows makes the installer from the same files
set(guide_files ${PROJECT_SOURCE_DIR}/docs/veltrane.html)
file(GLOB guide_pictures ${PROJECT_SOURCE_DIR}/docs/*.png)
file(GLOB guide_screenshots ${PROJECT_SOURCE_DIR}/docs/screenshots/*.png)
set(example_files ${PROJECT_SOURCE_DIR}/examples/bracket.dxf ${PROJECT_SOURCE_DIR}/examples/bracket.bas)

set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns DXF drawings into motion programs and lets you see, edit, check and send them")
set(CPACK_PACKAGE_CONTACT "Veltrane developers <veltrane@localhost>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Everything in one folder: the help command looks for the guide beside the program.
  install(FILES ${guide_files} ${guide_pictures} DESTINATION .)
  install(FILES ${guide_screenshots} DESTINATION screenshots)
  install(FILES ${example_files} DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  if(VELTRANE_BUILD_GUI)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeploy.cmake)
    set(CPACK_PACKAGE_FILE_NAME "veltrane-${PROJECT_VERSION}-windows-x86_64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "veltrane-cli-${PROJECT_VERSION}-windows-x86_64")
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(doc_dir share/doc/veltrane)
  install(FILES ${guide_files} ${guide_pictures} DESTINATION ${doc_dir})
  install(FILES ${guide_screenshots} DESTINATION ${doc_dir}/screenshots)
  install(FILES ${example_files} DESTINATION ${doc_dir}/examples)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane.desktop DESTINATION share/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane.svg DESTINATION share/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane-mime.xml DESTINATION share/mime/packages RENAME veltrane.xml)
  # The manual page is written by the tool from the description of its commands.
  set(manpage ${CMAKE_BINARY_DIR}/veltrane-cli.1.gz)
  add_custom_command(OUTPUT ${manpage}
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:veltrane-cli>
            -DOUT=${CMAKE_BINARY_DIR}/veltrane-cli.1 -P ${PROJECT_SOURCE_DIR}/packaging/manpage.cmake
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/veltrane-cli.1
    DEPENDS veltrane-cli ${PROJECT_SOURCE_DIR}/packaging/manpage.cmake
    COMMENT "Writing the manual page of veltrane-cli")
  add_custom_target(manpage ALL DEPENDS ${manpage})
  install(FILES ${manpage} DESTINATION share/man/man1)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The window needs a platform plugin to show itself on a desktop.
  # Qt's own texts in Chinese (file dialogs, standard buttons) come from Debian's translations.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Veltrane converts 2-D CAD drawings (ASCII DXF) into motion programs for a
multi-axis motion controller, and lets the user see, edit, transform, check, export
and send them. veltrane is the window; veltrane-cli does the same work from the
command line.")
endif()
if(NOT WIN32)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
