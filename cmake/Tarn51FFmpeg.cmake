# Tarn51::FFmpeg: the FFmpeg libraries that tarn51-measure decodes through (demuxing, decoding
# and the channel layouts). Defined here only, so that another platform's build can point the
# same target at libraries of its own.
if(TARGET Tarn51::FFmpeg)
    return()
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(TARN_FFMPEG REQUIRED IMPORTED_TARGET GLOBAL libavformat libavcodec libavutil)
add_library(Tarn51::FFmpeg ALIAS PkgConfig::TARN_FFMPEG)
