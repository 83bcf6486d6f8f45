# Warnings as errors everywhere; the sanitizer configuration on request.
add_library(tarn_options INTERFACE)
option(TARN_WERROR "Treat warnings as errors" ON)
target_compile_options(tarn_options INTERFACE
  -Wall -Wextra $<$<BOOL:${TARN_WERROR}>:-Werror>
  $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
if(TARN_SANITIZE)
  target_compile_options(tarn_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()
if(TARN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TARN_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage for libFuzzer in every library; the fuzz targets add the driver.
  target_compile_options(tarn_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()

# tarn_library(NAME folder-relative sources... DEPENDS targets...)
# Every library links tarn_options, so warnings and sanitizers reach it.
function(tarn_library name)
  cmake_parse_arguments(ARG "INTERFACE" "" "SOURCES;DEPENDS;INCLUDES" ${ARGN})
  if(ARG_INTERFACE)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ARG_INCLUDES})
    target_link_libraries(${name} INTERFACE tarn_options ${ARG_DEPENDS})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${ARG_INCLUDES})
    target_link_libraries(${name} PUBLIC tarn_options ${ARG_DEPENDS})
  endif()
endfunction()

# mingw-w64 reads format(printf) as the Microsoft runtime's printf, but its
# C++ programs print through mingw's own C99 printf (%zu, %lld as on Linux).
# The Linux build checks the same format strings against that printf.
if(WIN32)
  target_compile_options(tarn_options INTERFACE -Wno-format)
endif()
