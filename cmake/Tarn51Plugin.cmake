# The plug-in target. Its shared-code target "Tarn51" is the one compiled copy of
# the JUCE modules and of the meter's own code; every plug-in format, the
# standalone program, the command-line meter, the tests and the benchmarks link it.

# LV2 is a Linux format here; Windows hosts take VST 2.4 and VST3.
if(WIN32)
    set(TARN_FORMATS VST VST3 Standalone)
else()
    set(TARN_FORMATS VST VST3 LV2 Standalone)
endif()

# JUCE's leak detector and assertions are compiled into debug builds only. With this option
# (on by default) release builds keep both: a leaked object or a failed assertion is written
# to the log, which is the standard error stream when no logger is installed, so that the
# tests in real hosts can see it. Costs one atomic count per leak-checked object.
option(TARN_LEAK_CHECKS "Keep JUCE's leak detector and assertion log in release builds" ON)

set(TARN_LV2_URI "https://velnor.org/plugins/tarn51")

# VST 2.4 from Debian's fst headers, behind the shim folder that mends their layout.
juce_set_vst2_sdk_path("${CMAKE_SOURCE_DIR}/plugin/vst2sdk")

# AAX: no SDK in Debian and no AAX host on Linux. The settings are carried below and
# the format is built only when an SDK is given (-DTARN_AAX_SDK_PATH=...).
set(TARN_AAX_SDK_PATH "" CACHE PATH "AAX SDK folder; the AAX format is built when set")
if(TARN_AAX_SDK_PATH)
    juce_set_aax_sdk_path("${TARN_AAX_SDK_PATH}")
    list(APPEND TARN_FORMATS AAX)
endif()

juce_add_plugin(Tarn51
    PRODUCT_NAME "Tarn5.1"
    PLUGIN_NAME "Tarn5.1"
    COMPANY_NAME "Velnor"
    COMPANY_WEBSITE "https://velnor.org"
    COMPANY_EMAIL "mailto:support@velnor.org"
    DESCRIPTION "Loudness and True Peak meter compatible with BS1770 and EBU R128 standards."
    VERSION ${PROJECT_VERSION}
    FORMATS ${TARN_FORMATS}
    PLUGIN_MANUFACTURER_CODE Veln
    PLUGIN_CODE Tr51
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    COPY_PLUGIN_AFTER_BUILD FALSE
    VST2_CATEGORY kPlugCategEffect
    VST3_CATEGORIES Fx Analyzer
    LV2URI "${TARN_LV2_URI}"
    AAX_IDENTIFIER org.velnor.tarn51
    AAX_CATEGORY ePlugInCategory_SoundField
    DISABLE_AAX_BYPASS FALSE
    DISABLE_AAX_MULTI_MONO FALSE
    SUPPRESS_AAX_AUDIOSUITE FALSE)

# JUCE 7.0.5 defines JucePlugin_LV2URI from the plug-in name before it reads the
# generated LV2 settings, which would give the bundle the relative URI <Tarn5.1>;
# defined here it reaches the shared code and the LV2 wrapper alike.
target_compile_definitions(Tarn51 PUBLIC JucePlugin_LV2URI="${TARN_LV2_URI}")

# fst reminds its own authors, with #warning, of constants still to document.
target_compile_options(Tarn51_VST PRIVATE -Wno-cpp)
if(WIN32)
    target_include_directories(Tarn51_VST PRIVATE "${TARN_FST_INCLUDE}")
    # JUCE tells, with #warning, that MinGW builds draw text through GDI, not DirectWrite.
    target_compile_options(Tarn51 PRIVATE -Wno-cpp)
    # JUCE's VST wrapper defines __cdecl empty for compilers other than Microsoft's, over GCC's
    # built-in one; on x86-64 there is one calling convention, so empty is the same.
    target_compile_options(Tarn51_VST PRIVATE -U__cdecl -D__cdecl=)
endif()
# Named like the other formats' files (Tarn5.1.so, not libTarn5.1.so): VST 2.4 hosts on Linux
# take the file name as the plug-in's name.
set_target_properties(Tarn51_VST PROPERTIES PREFIX "")

# VST3: the exported entry point puts every audio component JUCE's wrapper creates behind a
# guard that keeps the audio path whole when a host hands over another channel count than the
# bus arrangement it agreed to (plugin/vst3/). JUCE's own entry point is renamed for it.
set(TARN_VST3_GUARD "${CMAKE_SOURCE_DIR}/plugin/vst3/Vst3ChannelGuard.cpp")
target_sources(Tarn51_VST3 PRIVATE "${TARN_VST3_GUARD}")
target_compile_definitions(Tarn51_VST3 PRIVATE
    GetPluginFactory=tarn51JuceGetPluginFactory
    TARN_JUCE_GET_PLUGIN_FACTORY=tarn51JuceGetPluginFactory)

# The VST effect record's version field: the version's digits, 203 for 2.0.3 (JUCE would put
# the version code 0x20003 there; the vendor version query still answers 0x20003).
math(EXPR TARN_VST_RECORD_VERSION
    "${PROJECT_VERSION_MAJOR} * 100 + ${PROJECT_VERSION_MINOR} * 10 + ${PROJECT_VERSION_PATCH}")
target_compile_definitions(Tarn51_VST PRIVATE JucePlugin_VSTChunkStructureVersion=${TARN_VST_RECORD_VERSION})

set(TARN_SOURCE_DIRS engine processor editor report plugin standalone)
set(TARN_SOURCES)
foreach(dir IN LISTS TARN_SOURCE_DIRS)
    file(GLOB dir_sources CONFIGURE_DEPENDS
        "${CMAKE_SOURCE_DIR}/${dir}/*.cpp" "${CMAKE_SOURCE_DIR}/${dir}/*.h")
    list(APPEND TARN_SOURCES ${dir_sources})
endforeach()
target_sources(Tarn51 PRIVATE ${TARN_SOURCES})

# Warnings on the meter's own sources; JUCE's module sources keep JUCE's flags.
set(TARN_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wunused -Wnull-dereference -Wdouble-promotion -Wno-missing-field-initializers)
set_source_files_properties(${TARN_SOURCES} PROPERTIES COMPILE_OPTIONS "${TARN_WARNINGS}")
# The true-peak filter's vector copies (AVX-512 brings fused multiply-add with it) must sum
# exactly as the plain filter does: no multiply and add fused into one rounding.
set_property(SOURCE "${CMAKE_SOURCE_DIR}/engine/TruePeakDetector.cpp" APPEND PROPERTY COMPILE_OPTIONS -ffp-contract=off)

target_include_directories(Tarn51 PUBLIC ${CMAKE_SOURCE_DIR})

# Framework settings that every user of the shared code must see in the same way.
target_compile_definitions(Tarn51 PUBLIC
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    $<$<BOOL:${TARN_LEAK_CHECKS}>:JUCE_CHECK_MEMORY_LEAKS=1>
    $<$<BOOL:${TARN_LEAK_CHECKS}>:JUCE_LOG_ASSERTIONS=1>)

# Channel configurations. VST 2.4 fixes its pin count in the effect record when the plug-in
# opens, and JUCE's wrapper starts the processor at the largest configuration: the twelve-channel
# arrangements there would open every VST 2.4 session with twelve pins and measure a 5.1 feed
# as part of 7.1.4, past the "Surround layout" order. VST 2.4 (and AAX, whose stems are chosen
# by count) keep six pins and the four configurations; the other formats take up to twelve.
set(TARN_SIX_CHANNEL_CONFIGURATIONS "{6,6},{5,5},{2,2},{1,1}")
set(TARN_CHANNEL_CONFIGURATIONS "${TARN_SIX_CHANNEL_CONFIGURATIONS},{7,7},{8,8},{9,9},{10,10},{11,11},{12,12}")
string(REPLACE "," "$<COMMA>" TARN_SIX_CHANNEL_CONFIGURATIONS "${TARN_SIX_CHANNEL_CONFIGURATIONS}")
string(REPLACE "," "$<COMMA>" TARN_CHANNEL_CONFIGURATIONS "${TARN_CHANNEL_CONFIGURATIONS}")
set(TARN_IS_SIX_PIN_FORMAT
    "$<OR:$<STREQUAL:$<TARGET_PROPERTY:NAME>,Tarn51_VST>,$<STREQUAL:$<TARGET_PROPERTY:NAME>,Tarn51_AAX>>")
# Only the users of the shared code see it (none of its own sources reads it): JUCE hands the
# shared code's own definitions on to every format's wrapper as they are.
target_compile_definitions(Tarn51 INTERFACE
    "JucePlugin_PreferredChannelConfigurations=$<IF:${TARN_IS_SIX_PIN_FORMAT},${TARN_SIX_CHANNEL_CONFIGURATIONS},${TARN_CHANNEL_CONFIGURATIONS}>")

# The standalone program: JUCE's Standalone format of this target, with the program's own
# application class. Its window, dialog and settings file live in standalone/ and belong to
# the shared code (compiled once, reachable from the tests); only the file that hands JUCE the
# application object is compiled into the program itself, where JucePlugin_Build_Standalone is
# 1 for that target alone.
target_compile_definitions(Tarn51 PUBLIC JUCE_USE_CUSTOM_PLUGIN_STANDALONE_APP=1)
if(NOT WIN32)
    # JACK beside ALSA; JUCE opens libjack at run time, so the program runs without it.
    target_compile_definitions(Tarn51 PUBLIC JUCE_JACK=1)
endif()
target_sources(Tarn51_Standalone PRIVATE "${CMAKE_SOURCE_DIR}/standalone/entry/Tarn51StandaloneEntry.cpp")
set_source_files_properties("${CMAKE_SOURCE_DIR}/standalone/entry/Tarn51StandaloneEntry.cpp"
    PROPERTIES COMPILE_OPTIONS "${TARN_WARNINGS}")
set_target_properties(Tarn51_Standalone PROPERTIES OUTPUT_NAME Tarn51Standalone)

target_link_libraries(Tarn51
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_formats
        juce::juce_audio_processors
        juce::juce_gui_extra
        juce::juce_recommended_config_flags
    PUBLIC
        ${TARN_CODEC_LIBS})

# The module include folder, without the module sources, for the consumers of the
# shared code (linking the modules themselves would compile them a second time).
get_target_property(TARN_JUCE_INCLUDES juce::juce_core INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(Tarn51 SYSTEM PUBLIC ${TARN_JUCE_INCLUDES})
target_include_directories(Tarn51_VST3 SYSTEM PRIVATE
    "${TARN_JUCE_INCLUDES}/juce_audio_processors/format_types/VST3_SDK")
# The VST3 interfaces have no virtual destructors by design: objects release themselves.
set_source_files_properties("${TARN_VST3_GUARD}" PROPERTIES
    COMPILE_OPTIONS "${TARN_WARNINGS};-Wno-non-virtual-dtor")

# The editor's image set, drawn by tools/imagegen and checked in under resources/.
# The code addresses each image by its resource name, the file name with '.' as '_'
# (BinaryData::VU_png for VU.png).
file(GLOB TARN_IMAGES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/*.png")
if(TARN_IMAGES)
    list(SORT TARN_IMAGES)
    juce_add_binary_data(Tarn51Images SOURCES ${TARN_IMAGES})
    set_target_properties(Tarn51Images PROPERTIES POSITION_INDEPENDENT_CODE TRUE)
    # juceaide's rule watches only the list of files; rerun it when an image changes too.
    add_custom_command(
        OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/juce_binarydata_Tarn51Images/JuceLibraryCode/BinaryData1.cpp"
        APPEND DEPENDS ${TARN_IMAGES})
    target_link_libraries(Tarn51 PUBLIC Tarn51Images)
else()
    message(WARNING "resources/ holds no images: build and run tarn51-images, then configure again")
endif()

# tarn51_use_shared_code(target): an executable of ours that links the shared code.
function(tarn51_use_shared_code target)
    target_link_libraries(${target} PRIVATE Tarn51 juce::juce_recommended_config_flags)
    target_compile_options(${target} PRIVATE ${TARN_WARNINGS})
endfunction()

# Installation: the three Linux plug-in formats where hosts look for them. Relative folders
# are taken under CMAKE_INSTALL_PREFIX (lib/vst, lib/vst3, lib/lv2: /usr/local/lib/... by
# default, which hosts scan like /usr/lib/...); TARN_INSTALL_TO_HOME puts them into the
# user's ~/.vst, ~/.vst3 and ~/.lv2 instead.
option(TARN_INSTALL_TO_HOME "cmake --install puts the plug-ins into ~/.vst, ~/.vst3 and ~/.lv2" OFF)
if(TARN_INSTALL_TO_HOME)
    set(TARN_DEFAULT_VST_DIR "$ENV{HOME}/.vst")
    set(TARN_DEFAULT_VST3_DIR "$ENV{HOME}/.vst3")
    set(TARN_DEFAULT_LV2_DIR "$ENV{HOME}/.lv2")
else()
    set(TARN_DEFAULT_VST_DIR lib/vst)
    set(TARN_DEFAULT_VST3_DIR lib/vst3)
    set(TARN_DEFAULT_LV2_DIR lib/lv2)
endif()
set(TARN_VST_INSTALL_DIR "${TARN_DEFAULT_VST_DIR}" CACHE STRING "Install folder of the VST 2.4 plug-in")
set(TARN_VST3_INSTALL_DIR "${TARN_DEFAULT_VST3_DIR}" CACHE STRING "Install folder of the VST3 bundle")
set(TARN_LV2_INSTALL_DIR "${TARN_DEFAULT_LV2_DIR}" CACHE STRING "Install folder of the LV2 bundle")
# A changed TARN_INSTALL_TO_HOME moves folders that were not chosen by hand.
foreach(format VST VST3 LV2)
    if(DEFINED TARN_LAST_DEFAULT_${format}_DIR
       AND TARN_${format}_INSTALL_DIR STREQUAL TARN_LAST_DEFAULT_${format}_DIR)
        set_property(CACHE TARN_${format}_INSTALL_DIR PROPERTY VALUE "${TARN_DEFAULT_${format}_DIR}")
    endif()
    set(TARN_LAST_DEFAULT_${format}_DIR "${TARN_DEFAULT_${format}_DIR}" CACHE INTERNAL "")
endforeach()

if(WIN32)
    return()
endif()
install(FILES "$<TARGET_FILE:Tarn51_VST>" DESTINATION "${TARN_VST_INSTALL_DIR}")
get_target_property(TARN_VST3_BUNDLE Tarn51_VST3 JUCE_PLUGIN_ARTEFACT_FILE)
install(DIRECTORY "${TARN_VST3_BUNDLE}" DESTINATION "${TARN_VST3_INSTALL_DIR}" USE_SOURCE_PERMISSIONS)
install(DIRECTORY "$<TARGET_FILE_DIR:Tarn51_LV2>" DESTINATION "${TARN_LV2_INSTALL_DIR}" USE_SOURCE_PERMISSIONS)
