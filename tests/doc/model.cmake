zelvor_add_test(doc_model_test
  LIBS zelvor_doc
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/document_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cell_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elements_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/builtin_molecules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bonds_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/surface_fields_test.cpp)
zelvor_add_test(doc_model_threads_test
  LIBS zelvor_doc
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bonds_threads_test.cpp
  LABELS threads)
