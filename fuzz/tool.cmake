# The tool's converters: mesh (model files), physique and motion writers.
foreach(what mesh_converter physique_writer motion_writer)
  tarn_fuzz(fuzz_${what} SOURCES ${CMAKE_CURRENT_LIST_DIR}/ToolFuzz.cpp DEPENDS rigwright_tool)
  string(TOUPPER ${what} upper)
  target_compile_definitions(fuzz_${what} PRIVATE TARN_FUZZ_${upper})
endforeach()
