# What the two mingw-w64 toolchain files share: the cross compilers named by
# TARN_MINGW_PREFIX (set by the file that includes this one). The
# toolchain's own headers (windows.h, ddraw.h, d3d.h, dinput.h, commdlg.h)
# and import libraries are the platform.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TARN_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TARN_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TARN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
