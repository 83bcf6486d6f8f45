# "tarn.cfg": the scan of the configuration text.
tarn_fuzz(fuzz_tarn_cfg SOURCES ${CMAKE_CURRENT_LIST_DIR}/TarnCfgFuzz.cpp DEPENDS tarn_app_controls)
