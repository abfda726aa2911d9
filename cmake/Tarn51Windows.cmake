# The Windows build, cross-compiled with MinGW-w64 (cmake/MinGW64Toolchain.cmake, driven by
# scripts/build-windows.sh). Debian's JUCE decodes through the system codec libraries; for
# Windows they are static libraries that scripts/build-windows.sh builds from Debian's source
# packages into TARN_WINDOWS_DEPS, and zlib comes from Debian's MinGW package.
set(TARN_WINDOWS_DEPS "" CACHE PATH "Prefix of the MinGW codec libraries (scripts/build-windows.sh)")
if(NOT EXISTS "${TARN_WINDOWS_DEPS}/lib/libFLAC.a")
    message(FATAL_ERROR "TARN_WINDOWS_DEPS does not hold the MinGW codec libraries: build with "
        "scripts/build-windows.sh")
endif()

# Static archives in link order (each before what it uses), so that the DLLs and programs
# import only Windows' own libraries.
add_library(tarn51_windows_codecs INTERFACE)
foreach(lib FLAC vorbisenc vorbisfile vorbis ogg png16 jpeg)
    target_link_libraries(tarn51_windows_codecs INTERFACE "${TARN_WINDOWS_DEPS}/lib/lib${lib}.a")
endforeach()
find_library(TARN_MINGW_ZLIB NAMES libz.a REQUIRED)
target_link_libraries(tarn51_windows_codecs INTERFACE "${TARN_MINGW_ZLIB}")
target_include_directories(tarn51_windows_codecs SYSTEM INTERFACE "${TARN_WINDOWS_DEPS}/include")
target_compile_definitions(tarn51_windows_codecs INTERFACE FLAC__NO_DLL)
set(TARN_CODEC_LIBS tarn51_windows_codecs)

# GCC's and the C++ library's runtime linked in, so that no MinGW DLL has to travel along;
# symbols stripped.
add_link_options(-static -static-libgcc -static-libstdc++ -s)

# fst's own folder only: /usr/include as a whole would put glibc's headers in front of MinGW's.
set(TARN_FST_INCLUDE "${CMAKE_BINARY_DIR}/fst-include")
file(GLOB TARN_FST_HEADERS /usr/include/pluginterfaces/fst/*.h)
if(NOT TARN_FST_HEADERS)
    message(FATAL_ERROR "fst's VST 2.4 headers are missing (Debian package fst-dev)")
endif()
file(COPY ${TARN_FST_HEADERS} DESTINATION "${TARN_FST_INCLUDE}/pluginterfaces/fst")

# FFmpeg's libraries, through which tarn51-measure reads audio and video files: static MinGW
# builds that scripts/build-windows.sh makes from Debian's source package into a folder outside
# the checkout. The same target name as the Linux build's, so the meter links it alike.
set(TARN_WINDOWS_FFMPEG "" CACHE PATH "Prefix of the MinGW FFmpeg libraries (scripts/build-windows.sh)")
if(NOT TARGET Tarn51::FFmpeg)
    if(NOT EXISTS "${TARN_WINDOWS_FFMPEG}/lib/libavformat.a")
        message(FATAL_ERROR "TARN_WINDOWS_FFMPEG does not hold the MinGW FFmpeg libraries: build "
            "with scripts/build-windows.sh")
    endif()
    add_library(Tarn51::FFmpeg INTERFACE IMPORTED)
    # Each before what it uses; then zlib (compressed MOV headers, Matroska's zlib content
    # compression) and the Windows libraries their pkg-config files name (bcrypt: libavutil's
    # random seed).
    foreach(lib avformat avcodec swresample avutil)
        target_link_libraries(Tarn51::FFmpeg INTERFACE "${TARN_WINDOWS_FFMPEG}/lib/lib${lib}.a")
    endforeach()
    target_link_libraries(Tarn51::FFmpeg INTERFACE "${TARN_MINGW_ZLIB}" bcrypt ole32 user32)
    target_include_directories(Tarn51::FFmpeg SYSTEM INTERFACE "${TARN_WINDOWS_FFMPEG}/include")
endif()
