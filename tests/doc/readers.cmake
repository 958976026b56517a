zelvor_add_test(doc_readers_test
  LIBS zelvor_doc
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/text_scanner_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/read_xyz_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/read_pdb_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/read_cube_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/corpus_test.cpp)

zelvor_add_test(doc_loader_test
  LIBS zelvor_doc
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/loader_test.cpp
  LABELS threads)
