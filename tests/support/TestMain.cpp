#include <gtest/gtest.h>

#include <juce_events/juce_events.h>

#include <cstdlib>

// One JUCE initialiser for the whole test program: the message manager, the
// thread machinery and the leak detectors live for the duration of all tests.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    // Without DISPLAY, JUCE falls back to ":0.0". The tests run headless unless a display is
    // given on purpose; they must not attach to whatever X server happens to sit on :0 (a
    // test that starts Xvfb there would take them down with it when it stops).
    const char* display = std::getenv ("DISPLAY");

    if (display == nullptr || *display == '\0')
        setenv ("DISPLAY", ":tarn51-headless", 1);

    juce::ScopedJuceInitialiser_GUI juceInit;
    return RUN_ALL_TESTS();
}
