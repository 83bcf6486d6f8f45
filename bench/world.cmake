tarn_bench(bench_world SOURCES ${CMAKE_CURRENT_LIST_DIR}/world/WorldBench.cpp DEPENDS tarn_world)
