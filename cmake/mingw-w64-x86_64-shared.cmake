# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads), with the
# compiler's runtime in DLLs (libstdc++-6, libgcc_s_seh-1, libwinpthread-1): Qt for
# Windows is built with this file (scripts/windows) and so are the window and the tools
# against that Qt (preset windows-gui), so that Qt's DLLs and the programs share one
# runtime. cmake/mingw-w64-x86_64.cmake is the static variant for the Qt-free build.
#
# VELTRANE_QT_WINDOWS (cache variable or environment variable) names the Qt for Windows
# installation; it is searched for packages and libraries beside the MinGW sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
if(NOT VELTRANE_QT_WINDOWS AND DEFINED ENV{VELTRANE_QT_WINDOWS})
  set(VELTRANE_QT_WINDOWS "$ENV{VELTRANE_QT_WINDOWS}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VELTRANE_QT_WINDOWS})
# Try-compile projects see the same variables.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELTRANE_QT_WINDOWS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under Wine (scripts/wine-run) with the compiler's runtime DLLs and
# Qt's DLLs on their search path and Qt's plugins found, as an installed copy has them
# beside it.
set(veltrane_dll_dirs)
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(IS_ABSOLUTE "${found}")
    get_filename_component(found "${found}" DIRECTORY)
    list(APPEND veltrane_dll_dirs "${found}")
  endif()
endforeach()
if(VELTRANE_QT_WINDOWS)
  list(APPEND veltrane_dll_dirs "${VELTRANE_QT_WINDOWS}/bin")
endif()
list(JOIN veltrane_dll_dirs ":" veltrane_dll_dirs)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env "VELTRANE_WINE_DLL_DIRS=${veltrane_dll_dirs}"
    "QT_PLUGIN_PATH=Z:${VELTRANE_QT_WINDOWS}/plugins" ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
