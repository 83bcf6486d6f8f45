# Warnings everywhere; the sanitizer configuration on request.
add_library(tarn_options INTERFACE)
# Warnings are errors where we build (scripts/build.sh turns this on for the
# test suite and CI), not for whoever builds the project: a compiler release
# newer than ours finds new warnings, and that must not break their build.
option(TARN_WERROR "Treat warnings as errors" OFF)
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

# tarn_library(NAME [INTERFACE|OBJECT] SOURCES... DEPENDS targets... INCLUDES folders...)
# Every library links tarn_options, so warnings and sanitizers reach it. Each
# one is also recorded for the layering check (tarn_write_layers): its
# folder, sources, the folders of its own headers and what it DEPENDS on,
# which is all its files may include.
function(tarn_library name)
  cmake_parse_arguments(ARG "INTERFACE;OBJECT" "" "SOURCES;DEPENDS;INCLUDES" ${ARGN})
  if(ARG_INTERFACE)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ARG_INCLUDES})
    target_link_libraries(${name} INTERFACE tarn_options ${ARG_DEPENDS})
  else()
    if(ARG_OBJECT)
      add_library(${name} OBJECT ${ARG_SOURCES})
    else()
      add_library(${name} STATIC ${ARG_SOURCES})
    endif()
    target_include_directories(${name} PUBLIC ${ARG_INCLUDES})
    target_link_libraries(${name} PUBLIC tarn_options ${ARG_DEPENDS})
  endif()
  tarn_record_layer(${name} "${ARG_SOURCES}" "${ARG_DEPENDS}" "${ARG_INCLUDES}")
endfunction()

# The record of one target of the system or its programs, a line each:
#   target NAME FOLDER / source NAME FILE / depends NAME TARGET / headers NAME FOLDER
# Paths are relative to the repository root.
function(tarn_record_layer name sources depends includes)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(lines "target ${name} ${folder}")
  foreach(s ${sources})
    get_filename_component(s ${s} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH s ${PROJECT_SOURCE_DIR} ${s})
    list(APPEND lines "source ${name} ${s}")
  endforeach()
  foreach(d ${depends})
    list(APPEND lines "depends ${name} ${d}")
  endforeach()
  foreach(i ${includes})
    get_filename_component(i ${i} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT i STREQUAL PROJECT_SOURCE_DIR)
      file(RELATIVE_PATH i ${PROJECT_SOURCE_DIR} ${i})
      list(APPEND lines "headers ${name} ${i}")
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY TARN_LAYERS ${lines})
endfunction()

# Writes the records to <build>/layers.txt, once every folder has been added.
function(tarn_write_layers)
  get_property(lines GLOBAL PROPERTY TARN_LAYERS)
  list(JOIN lines "\n" text)
  file(WRITE ${CMAKE_BINARY_DIR}/layers.txt "${text}\n")
endfunction()

# mingw-w64 reads format(printf) as the Microsoft runtime's printf, but its
# C++ programs print through mingw's own C99 printf (%zu, %lld as on Linux).
# The Linux build checks the same format strings against that printf.
if(WIN32)
  target_compile_options(tarn_options INTERFACE -Wno-format)
endif()
