# The Windows build (scripts/build-windows.sh, in the folder beside this one) run under Wine and
# compared with this build: wine-test.sh. Skipped where Wine or the Windows build is missing.
set(TARN_WINDOWS_BUILD_DIR "${CMAKE_BINARY_DIR}-win" CACHE PATH "The Windows build's folder")
set(TARN_WINE_TEST "${CMAKE_CURRENT_LIST_DIR}/wine-test.sh")

# One Wine prefix, made once, for every check.
add_test(NAME windows-wine-prefix
    COMMAND bash "${TARN_WINE_TEST}" "${TARN_WINDOWS_BUILD_DIR}" "${CMAKE_BINARY_DIR}" prefix)
set_tests_properties(windows-wine-prefix PROPERTIES FIXTURES_SETUP tarn51-wine SKIP_RETURN_CODE 77
    TIMEOUT 120)

foreach(check vst2 vst2-linux juce-host measure standalone standalone-beside)
    add_test(NAME windows-${check}
        COMMAND bash "${TARN_WINE_TEST}" "${TARN_WINDOWS_BUILD_DIR}" "${CMAKE_BINARY_DIR}" ${check})
    # One check at a time in the shared prefix (wine-test.sh says why).
    set_tests_properties(windows-${check} PROPERTIES FIXTURES_REQUIRED tarn51-wine SKIP_RETURN_CODE 77
        RESOURCE_LOCK tarn51-wine-prefix
        TIMEOUT 300 FAIL_REGULAR_EXPRESSION "${TARN_HOST_FAILURES}"
        ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/../vst2-raw/lsan.supp")
endforeach()
# Twenty starts, each with a wineserver of its own.
set_tests_properties(windows-standalone-beside PROPERTIES TIMEOUT 1500)
