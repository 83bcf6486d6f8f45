if(TARGET tarn_world_export)
  tarn_bench(bench_export SOURCES ${CMAKE_CURRENT_LIST_DIR}/export/ExportBench.cpp DEPENDS tarn_world_export tarn_world)
endif()
