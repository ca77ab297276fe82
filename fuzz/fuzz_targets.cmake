# The fuzz targets: one per fuzz_*.cpp of this folder.  Each links every
# product library (through the stand-ins of host/); the linker takes only what
# a target uses.
set(BRINDLE_FUZZ_LIBS brindle_host brindle_server brindle_addin brindle_query
    brindle_categorize brindle_companion brindle_store brindle_platform)
file(GLOB BRINDLE_FUZZ_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_LIST_DIR}/fuzz_*.cpp)
list(REMOVE_ITEM BRINDLE_FUZZ_SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_fail.cpp)
