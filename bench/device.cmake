# The software device at 800 x 600: empty frame, objects, fill.
tarn_bench(bench_device SOURCES ${CMAKE_CURRENT_LIST_DIR}/device/DeviceBench.cpp DEPENDS tarn_render tarn_raster)
