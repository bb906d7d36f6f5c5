# Fails when the disassembly of any of FILES (a ;-list) holds a fused multiply-add: the engine's
# results must come from separately rounded products and sums on every path.
# Usage: cmake -DOBJDUMP=... -DFILES=a;b -P nofma.cmake
foreach(_file ${FILES})
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${_file}
                    OUTPUT_VARIABLE _asm RESULT_VARIABLE _rc ERROR_VARIABLE _err)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} failed on ${_file}: ${_err}")
    endif()
    string(LENGTH "${_asm}" _length)
    if(_length LESS 1000)
        message(FATAL_ERROR "no code disassembled from ${_file}")
    endif()
    string(REGEX MATCHALL "[ \t]v?f(n)?m(add|sub)[0-9a-z]*[ \t][^\n]*" _fused "${_asm}")
    list(LENGTH _fused _count)
    if(_count GREATER 0)
        list(GET _fused 0 _first)
        message(FATAL_ERROR "${_file}: ${_count} fused multiply-add instructions, first: ${_first}")
    endif()
    # The wide kernels must be there, or the check proves nothing about them.
    string(FIND "${_asm}" "%zmm" _zmm)
    string(FIND "${_asm}" "%ymm" _ymm)
    if(_zmm EQUAL -1 OR _ymm EQUAL -1)
        message(FATAL_ERROR "${_file}: no AVX2 or AVX-512 code found")
    endif()
    message(STATUS "${_file}: no fused multiply-add")
endforeach()
