# TARN_SANITIZE builds everything (the JUCE modules included, so that the sanitizer sees
# every access) with one sanitizer, in a build folder of its own:
#   thread   ThreadSanitizer, for the concurrency stress test
#   address  AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzzer   libFuzzer instrumentation with AddressSanitizer and UndefinedBehaviorSanitizer
#            (clang only); the fuzz targets link the libFuzzer driver themselves
# scripts/test.sh configures such folders next to the main one and builds in each only the
# programs that run there.

set(TARN_SANITIZE "" CACHE STRING "Sanitizer for the whole build: thread, address or fuzzer")
set_property(CACHE TARN_SANITIZE PROPERTY STRINGS "" thread address fuzzer)

if(TARN_SANITIZE STREQUAL "")
    return()
endif()

set(TARN_SANITIZE_FLAGS -fno-omit-frame-pointer -g1)
if(TARN_SANITIZE STREQUAL "thread")
    list(APPEND TARN_SANITIZE_FLAGS -fsanitize=thread)
    set(TARN_SANITIZE_LINK_FLAGS -fsanitize=thread)
elseif(TARN_SANITIZE STREQUAL "address")
    list(APPEND TARN_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
    set(TARN_SANITIZE_LINK_FLAGS -fsanitize=address,undefined)
elseif(TARN_SANITIZE STREQUAL "fuzzer")
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TARN_SANITIZE=fuzzer needs clang (CC=clang CXX=clang++)")
    endif()
    list(APPEND TARN_SANITIZE_FLAGS -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=undefined)
    set(TARN_SANITIZE_LINK_FLAGS -fsanitize=address,undefined)
else()
    message(FATAL_ERROR "TARN_SANITIZE must be empty, thread, address or fuzzer")
endif()

add_compile_options(${TARN_SANITIZE_FLAGS})
add_link_options(${TARN_SANITIZE_LINK_FLAGS})
