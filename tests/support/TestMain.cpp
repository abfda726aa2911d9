#include <gtest/gtest.h>

#include <juce_events/juce_events.h>

// One JUCE initialiser for the whole test program: the message manager, the
// thread machinery and the leak detectors live for the duration of all tests.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juceInit;
    return RUN_ALL_TESTS();
}
