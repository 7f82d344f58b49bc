# What the Windows programs need beside them when built with the window (preset
# windows-gui): Qt's DLLs, the Windows platform plugin and the Windows styles, and the
# compiler's runtime DLLs, all installed into the package's one folder. Qt finds its
# plugins in platforms/ and styles/ beside the program without a qt.conf.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}")
    message(FATAL_ERROR "The compiler's runtime ${dll} was not found")
  endif()
  install(FILES ${found} DESTINATION .)
endforeach()
# Qt's own texts in Chinese (file dialogs, standard buttons), from Debian's
# qt6-translations-l10n: the window looks for them in translations/ beside the program.
set(VELTRANE_QT_ZH_TRANSLATION /usr/share/qt6/translations/qtbase_zh_CN.qm)
if(EXISTS ${VELTRANE_QT_ZH_TRANSLATION})
  install(FILES ${VELTRANE_QT_ZH_TRANSLATION} DESTINATION translations)
endif()
