# The character export's reader of the ASE beside the character's files.
if(TARGET tarn_character_export)
  tarn_fuzz(fuzz_character_ase SOURCES ${CMAKE_CURRENT_LIST_DIR}/CharacterAseFuzz.cpp DEPENDS tarn_character_export)
endif()
