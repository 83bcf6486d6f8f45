tarn_bench(bench_formats SOURCES ${CMAKE_CURRENT_LIST_DIR}/formats/LineBench.cpp DEPENDS tarn_formats)
