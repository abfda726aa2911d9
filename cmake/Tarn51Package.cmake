# Installation of the programs and the Debian package (cpack -G DEB; scripts/package.sh).
#
# Besides the plug-ins (cmake/Tarn51Plugin.cmake): tarn51-measure and Tarn51Standalone in bin,
# the command-line meter's man page made by help2man from its --help, the standalone
# program's desktop entry and icon (the logo's symbol), and the package's copyright file and
# changelog.

find_program(TARN_HELP2MAN help2man)
find_program(TARN_CONVERT convert)
find_program(TARN_GZIP gzip REQUIRED)

set(TARN_PACKAGE_FILES "${CMAKE_BINARY_DIR}/package-files")
set(TARN_PACKAGE_OUTPUTS)

if(TARN_HELP2MAN)
    add_custom_command(
        OUTPUT "${TARN_PACKAGE_FILES}/tarn51-measure.1.gz"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${TARN_PACKAGE_FILES}"
        COMMAND "${TARN_HELP2MAN}" --no-info --version-string=${PROJECT_VERSION}
            "--name=loudness and true-peak meter for audio files (ITU-R BS.1770, EBU R128)"
            --output "${TARN_PACKAGE_FILES}/tarn51-measure.1" "$<TARGET_FILE:tarn51-measure>"
        COMMAND "${TARN_GZIP}" -9nf "${TARN_PACKAGE_FILES}/tarn51-measure.1"
        DEPENDS tarn51-measure
        COMMENT "Man page of tarn51-measure"
        VERBATIM)
    list(APPEND TARN_PACKAGE_OUTPUTS "${TARN_PACKAGE_FILES}/tarn51-measure.1.gz")
    install(FILES "${TARN_PACKAGE_FILES}/tarn51-measure.1.gz" DESTINATION share/man/man1)
else()
    message(STATUS "help2man not found: no man page (scripts/setup.sh installs it)")
endif()

if(TARN_CONVERT)
    # The logo's symbol: the 48 x 48 square at its left.
    add_custom_command(
        OUTPUT "${TARN_PACKAGE_FILES}/tarn51.png"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${TARN_PACKAGE_FILES}"
        COMMAND "${TARN_CONVERT}" "${CMAKE_SOURCE_DIR}/resources/Logo.png" -crop 48x48+2+6 +repage
            -strip "PNG32:${TARN_PACKAGE_FILES}/tarn51.png"
        DEPENDS "${CMAKE_SOURCE_DIR}/resources/Logo.png"
        COMMENT "Icon of the standalone program"
        VERBATIM)
    list(APPEND TARN_PACKAGE_OUTPUTS "${TARN_PACKAGE_FILES}/tarn51.png")
    install(FILES "${TARN_PACKAGE_FILES}/tarn51.png" DESTINATION share/icons/hicolor/48x48/apps)
else()
    message(STATUS "ImageMagick's convert not found: no icon (scripts/setup.sh installs it)")
endif()

add_custom_command(
    OUTPUT "${TARN_PACKAGE_FILES}/changelog.gz"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${TARN_PACKAGE_FILES}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/packaging/changelog" "${TARN_PACKAGE_FILES}/changelog"
    COMMAND "${TARN_GZIP}" -9nf "${TARN_PACKAGE_FILES}/changelog"
    DEPENDS "${CMAKE_SOURCE_DIR}/packaging/changelog"
    VERBATIM)
list(APPEND TARN_PACKAGE_OUTPUTS "${TARN_PACKAGE_FILES}/changelog.gz")
add_custom_target(tarn51-package-files ALL DEPENDS ${TARN_PACKAGE_OUTPUTS})

install(TARGETS tarn51-measure Tarn51_Standalone RUNTIME DESTINATION bin)
# The logger and its systemd template unit (one instance per logged input).
install(TARGETS tarn51-logger RUNTIME DESTINATION bin)
install(FILES "${CMAKE_SOURCE_DIR}/packaging/tarn51-logger@.service" DESTINATION lib/systemd/system)
# Stripping (cmake --install --strip, which CPack uses) covers installed targets only; the
# plug-ins are installed as files and folders, so strip them here.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(plugin \"${TARN_VST_INSTALL_DIR}/Tarn5.1.so\"
                \"${TARN_VST3_INSTALL_DIR}/Tarn5.1.vst3/Contents/x86_64-linux/Tarn5.1.so\"
                \"${TARN_LV2_INSTALL_DIR}/Tarn5.1.lv2/libTarn5.1.so\")
            if(NOT IS_ABSOLUTE \"\${plugin}\")
                set(plugin \"\${CMAKE_INSTALL_PREFIX}/\${plugin}\")
            endif()
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
                --remove-section=.note \"\$ENV{DESTDIR}\${plugin}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
install(FILES "${CMAKE_SOURCE_DIR}/packaging/tarn51.desktop" DESTINATION share/applications)
install(FILES "${CMAKE_SOURCE_DIR}/packaging/copyright" "${TARN_PACKAGE_FILES}/changelog.gz"
    DESTINATION share/doc/tarn51)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn51)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Velnor)
set(CPACK_PACKAGE_CONTACT "Velnor <support@velnor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loudness and true-peak meter (plug-ins, program, command line)")
set(CPACK_PACKAGE_DESCRIPTION "Tarn 5.1 measures loudness to ITU-R BS.1770 and EBU R128
(momentary, short-term and integrated loudness, loudness range) and the true
peak of mono, stereo, 5.0 and 5.1 audio, with EBU, ATSC A/85 and ARIB presets.
The package holds the meter as VST 2.4, VST3 and LV2 plug-ins, as a standalone
program for ALSA and JACK, and as the command-line meter tarn51-measure for
audio files.")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velnor <support@velnor.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velnor.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# JACK is opened at run time when present. tarn51-measure opens FFmpeg's libraries at run time
# too, so the shared-library scan does not see them: they are named here, at the major versions
# the build's headers describe (the soname's major version is pkg-config's first number).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd")
pkg_check_modules(TARN_FFMPEG_RUNTIME REQUIRED libavformat libavcodec libavutil)
foreach(library avformat avcodec avutil)
    string(REGEX MATCH "^[0-9]+" major "${TARN_FFMPEG_RUNTIME_lib${library}_VERSION}")
    list(APPEND TARN_FFMPEG_PACKAGES "lib${library}${major}")
endforeach()
# With the editor's text face (see editor/EditorTypeface.h).
list(JOIN TARN_FFMPEG_PACKAGES ", " TARN_FFMPEG_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${TARN_FFMPEG_DEPENDS}, fonts-dejavu-core")
include(CPack)
