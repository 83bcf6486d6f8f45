# The tool's converters: mesh (model files), physique and motion writers.
foreach(what mesh_converter physique_writer motion_writer)
  tarn_fuzz(fuzz_${what} SOURCES ${CMAKE_CURRENT_LIST_DIR}/ToolFuzz.cpp DEPENDS rigwright_tool)
  string(TOUPPER ${what} upper)
  target_compile_definitions(fuzz_${what} PRIVATE TARN_FUZZ_${upper})
endforeach()

# The readers and checks of what the writers write: physique data, motion
# data, character file, and the check of the model files.
foreach(what physique_data motion_data character_file model_check)
  tarn_fuzz(fuzz_${what} SOURCES ${CMAKE_CURRENT_LIST_DIR}/CharacterFilesFuzz.cpp DEPENDS rigwright_tool)
  string(TOUPPER ${what} upper)
  target_compile_definitions(fuzz_${what} PRIVATE TARN_FUZZ_${upper})
endforeach()
