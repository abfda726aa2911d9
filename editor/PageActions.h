#pragma once

#include <juce_core/juce_core.h>

// What a page may ask of the editor that holds it: the pages write parameters and reach the
// processor, the host and the user only through this.
class PageActions
{
public:
    virtual ~PageActions() = default;

    // Writes a value in the parameter's own units to the parameter with that display name,
    // normalised and limited to 0..1, and tells the host.
    virtual void setParameterFromControl (const juce::String& parameterName, float value) = 0;

    // The user acknowledged the true-peak overload: the alarm and the channel lights go out.
    virtual void clearOverloads() = 0;

    // Asks the user for a file and writes the statistics report into it.
    virtual void saveReport() = 0;

    // Shows a failure to the user.
    virtual void showFailure (const juce::String& title, const juce::String& message) = 0;

    // Standalone program: opens the audio device settings.
    virtual void openAudioSettings() = 0;
};
