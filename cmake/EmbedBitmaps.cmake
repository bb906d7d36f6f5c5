# Compiles BMP files into a target as the table of embedded bitmap resources:
#
#   quorvane_embed_bitmaps(<target> [<id> <file>]...)
#
# adds a generated source to <target> that defines quorvane::raster::embeddedBitmaps() (see
# src/gui/platform/raster/embeddedbitmaps.h) with one entry per id and file; relative file paths
# are taken from the top of the source tree. With no files the table is empty. A changed file or
# list regenerates the source. Run with -P, this file is the generator itself.

if(CMAKE_SCRIPT_MODE_FILE)
    # generator: OUT = the source to write, LIST = file holding "id|file|id|file..."
    file(READ ${LIST} _joined)
    string(REPLACE "|" ";" _pairs "${_joined}")
    set(_arrays "")
    set(_entries "")
    set(_index 0)
    list(LENGTH _pairs _n)
    while(_index LESS _n)
        list(GET _pairs ${_index} _id)
        math(EXPR _next "${_index} + 1")
        list(GET _pairs ${_next} _file)
        math(EXPR _k "${_index} / 2")
        file(READ ${_file} _hex HEX)
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
        string(REGEX REPLACE "((0x..,){24})" "\\1\n    " _bytes "${_bytes}")
        string(APPEND _arrays "// ${_file}\nconst uint8_t kBitmap${_k}[] = {\n    ${_bytes}};\n")
        string(APPEND _entries "        {${_id}, kBitmap${_k}, sizeof(kBitmap${_k})},\n")
        math(EXPR _index "${_index} + 2")
    endwhile()
    if(_entries STREQUAL "")
        set(_body "    count = 0;\n    return nullptr;\n")
    else()
        set(_body "    static const EmbeddedBitmapEntry kTable[] = {\n${_entries}    };\n")
        string(APPEND _body "    count = sizeof(kTable) / sizeof(kTable[0]);\n    return kTable;\n")
    endif()
    file(WRITE ${OUT}.tmp
        "// Generated from the list of embedded bitmaps; do not edit.\n"
        "#include \"gui/platform/raster/embeddedbitmaps.h\"\n\n"
        "namespace {\n${_arrays}} // namespace\n\n"
        "namespace quorvane::raster {\n\n"
        "const EmbeddedBitmapEntry* embeddedBitmaps(size_t& count) {\n${_body}}\n\n"
        "} // namespace quorvane::raster\n")
    file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
    file(REMOVE ${OUT}.tmp)
    return()
endif()

function(quorvane_embed_bitmaps target)
    set(_script ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
    set(_pairs ${ARGN})
    list(LENGTH _pairs _n)
    math(EXPR _odd "${_n} % 2")
    if(_odd)
        message(FATAL_ERROR "quorvane_embed_bitmaps(${target}): expected id and file pairs")
    endif()
    set(_files "")
    set(_list "")
    set(_index 0)
    while(_index LESS _n)
        list(GET _pairs ${_index} _id)
        math(EXPR _next "${_index} + 1")
        list(GET _pairs ${_next} _file)
        cmake_path(ABSOLUTE_PATH _file BASE_DIRECTORY ${CMAKE_SOURCE_DIR})
        list(APPEND _files ${_file})
        list(APPEND _list ${_id} ${_file})
        math(EXPR _index "${_index} + 2")
    endwhile()
    string(REPLACE ";" "|" _joined "${_list}")
    set(_out ${CMAKE_CURRENT_BINARY_DIR}/${target}_bitmaps.cpp)
    file(CONFIGURE OUTPUT ${_out}.list CONTENT "${_joined}")
    add_custom_command(OUTPUT ${_out}
        COMMAND ${CMAKE_COMMAND} -DOUT=${_out} -DLIST=${_out}.list -P ${_script}
        DEPENDS ${_files} ${_out}.list ${_script}
        COMMENT "Embedding bitmaps into ${target}" VERBATIM)
    target_sources(${target} PRIVATE ${_out})
endfunction()
