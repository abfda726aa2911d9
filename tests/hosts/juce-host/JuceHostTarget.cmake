# tarn51_add_juce_host(VST3-PATH VST-PATH): the program tarn51-juce-host-tests, JUCE's hosting
# classes (VST3 and VST 2.4) with their own copy of the JUCE modules, loading the plug-ins from
# the given paths. Linux and Windows builds add their platform's libraries and flags.
function(tarn51_add_juce_host vst3_path vst_path)
    set(source "${CMAKE_SOURCE_DIR}/tests/hosts/juce-host/JuceHostTest.cpp")
    juce_add_console_app(tarn51-juce-host-tests PRODUCT_NAME "tarn51-juce-host-tests")
    target_sources(tarn51-juce-host-tests PRIVATE "${source}")
    # Our warning flags for our code, with JUCE's headers read as system headers (on this source
    # only, so that the module sources keep their command line).
    set(system_includes)
    foreach(dir IN LISTS TARN_JUCE_INCLUDES)
        list(APPEND system_includes -isystem "${dir}")
    endforeach()
    set_source_files_properties("${source}" PROPERTIES
        COMPILE_OPTIONS "${TARN_WARNINGS};${ARGN};${system_includes}")
    # The plug-ins' paths on the test source only, so that the JUCE modules do not depend on them.
    set_property(SOURCE "${source}" APPEND PROPERTY COMPILE_DEFINITIONS
        TARN_VST3_PLUGIN="${vst3_path}" TARN_VST_PLUGIN="${vst_path}")
    target_compile_definitions(tarn51-juce-host-tests PRIVATE
        JUCE_PLUGINHOST_VST3=1
        JUCE_PLUGINHOST_VST=1
        JUCE_PLUGINHOST_LV2=0
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_MODAL_LOOPS_PERMITTED=1
        JUCE_CHECK_MEMORY_LEAKS=1
        JUCE_LOG_ASSERTIONS=1)
    # -Wno-cpp: fst reminds its own authors, with #warning, of constants still to document.
    target_compile_options(tarn51-juce-host-tests PRIVATE -Wno-cpp)
    target_link_libraries(tarn51-juce-host-tests PRIVATE
        juce::juce_audio_processors
        juce_vst2_sdk
        juce::juce_recommended_config_flags)
    add_dependencies(tarn51-juce-host-tests Tarn51_VST Tarn51_VST3)
endfunction()
