# The plug-in target. Its shared-code target "Tarn51" is the one compiled copy of
# the JUCE modules and of the meter's own code; every plug-in format, the
# standalone program, the command-line meter, the tests and the benchmarks link it.

set(TARN_FORMATS VST VST3 LV2)
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
    DESCRIPTION "Loudness and True Peak meter compatible with BS1770 and EBU R128 standards."
    VERSION 2.0.3
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

set(TARN_SOURCE_DIRS engine processor editor report plugin)
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
    "JucePlugin_PreferredChannelConfigurations={6,6},{5,5},{2,2},{1,1}")

target_link_libraries(Tarn51
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_formats
        juce::juce_audio_processors
        juce::juce_gui_extra
        juce::juce_recommended_config_flags
    PUBLIC
        PkgConfig::TARN_CODECS)

# The module include folder, without the module sources, for the consumers of the
# shared code (linking the modules themselves would compile them a second time).
get_target_property(TARN_JUCE_INCLUDES juce::juce_core INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(Tarn51 SYSTEM PUBLIC ${TARN_JUCE_INCLUDES})

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
