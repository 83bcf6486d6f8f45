# Cross-building the 64-bit Windows programs with mingw-w64 (Debian package
# g++-mingw-w64-x86-64). The toolchain's own headers (windows.h, ddraw.h, d3d.h,
# dinput.h, commdlg.h) and import libraries are the platform.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARN_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TARN_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TARN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
