# Cross-building the 32-bit Windows programs with mingw-w64 (Debian package
# g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
