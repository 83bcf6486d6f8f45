tarn_fuzz(fuzz_keyword_lines SOURCES ${CMAKE_CURRENT_LIST_DIR}/KeywordLinesFuzz.cpp DEPENDS tarn_formats)
