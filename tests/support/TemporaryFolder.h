#pragma once

#include <juce_core/juce_core.h>

#include <unistd.h>

// A fresh folder under the system's temporary folder, deleted with everything in it when the
// object goes. The name carries the process id and a random part: CTest runs test programs
// side by side, and two of them must never pick, and later delete, the same folder.
class TemporaryFolder
{
public:
    TemporaryFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("tarn51-test-" + juce::String ((int)::getpid()) + "-" +
                                                    juce::String::toHexString (juce::Random().nextInt64()),
                                                "", false))
    {
        folder.createDirectory();
    }

    ~TemporaryFolder() { folder.deleteRecursively(); }

    const juce::File& getFile() const { return folder; }
    juce::File operator[] (const juce::String& name) const { return folder.getChildFile (name); }

private:
    juce::File folder;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TemporaryFolder)
};
