# Tarn51::FFmpeg: the FFmpeg libraries that tarn51-measure decodes through (demuxing, decoding
# and the channel layouts). Defined here only, so that another platform's build can point the
# same target at libraries of its own.
if(TARGET Tarn51::FFmpeg)
    return()
endif()

# Debian's shared libraries are opened when a file first needs them (FFmpegLibrary): only their
# headers are used at build time, and the program starts without loading them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TARN_FFMPEG REQUIRED libavformat libavcodec libavutil)
add_library(Tarn51::FFmpeg INTERFACE IMPORTED GLOBAL)
target_include_directories(Tarn51::FFmpeg SYSTEM INTERFACE ${TARN_FFMPEG_INCLUDE_DIRS})
target_compile_definitions(Tarn51::FFmpeg INTERFACE TARN_FFMPEG_DYNAMIC=1)
target_link_libraries(Tarn51::FFmpeg INTERFACE ${CMAKE_DL_LIBS})
