# Each source folder is one library; its files are picked up by pattern so that a new class
# needs no edit here.
function(quorvane_sources out dir)
    file(GLOB _files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    set(${out} ${_files} PARENT_SCOPE)
endfunction()
