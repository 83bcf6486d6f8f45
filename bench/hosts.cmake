# The SDL host's presentation: the area shrink of a frame larger than the display.
if(TARGET tarn_host_sdl)
  tarn_bench(bench_hosts SOURCES ${CMAKE_CURRENT_LIST_DIR}/hosts/PresentBench.cpp DEPENDS tarn_host_sdl)
endif()
