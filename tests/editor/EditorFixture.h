#pragma once

#include "EditorProbe.h"

#include "processor/Tarn51AudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

// A processor measuring offline (every window is evaluated in processBlock, so results do not
// depend on thread timing) with its editor open, and the means to drive both the way a host
// and the message loop would.
namespace EditorTest
{
constexpr double rate = 48000.0;
constexpr int blockSize = 480;

// A host transport that the test moves.
class FakePlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override { return info; }

    void advance (int numSamples)
    {
        if (!info.getIsPlaying())
            return;

        samples += numSamples;
        info.setTimeInSamples (samples);
        info.setTimeInSeconds ((double)samples / rate);
    }

    PositionInfo info;
    juce::int64 samples = 0;
};

// Whether two images share their pixels (one decoded image shown in two places).
inline bool sameImage (const juce::Image& a, const juce::Image& b)
{
    return a.getPixelData() == b.getPixelData();
}

// The image a drawable button shows at the moment; an invalid image if none.
juce::Image shownImage (juce::DrawableButton& button);

// A rendered copy of a component and its children, as it would appear on screen.
juce::Image render (juce::Component& component);

// Writes snapshots/<name>.png under the working directory (the build folder under CTest).
void writeSnapshot (const juce::String& name, const juce::Image& image);

// Runs the message loop for a moment, so that asynchronous notifications arrive.
void dispatchMessages();

// The programme of the snapshots: five channels (L R C Ls Rs at -28, -28, -24, -30, -30 dBFS
// peak), 1 kHz, in three 10 s parts at -3, +3 and -3 dB; integrated loudness -23.0 LUFS, the
// short-term loudness moving between -26 and -20 LUFS.
juce::AudioSampleBuffer minus23Programme();

// A livelier programme for the pictures: speech-like noise in five channels, quieter and louder
// passages, scaled until it measures -23.0 LUFS integrated.
const juce::AudioSampleBuffer& speechProgramme();

struct Fixture
{
    explicit Fixture (bool standalone = false);
    ~Fixture();

    // Closes the editor the way a host does.
    void closeEditor();

    // Hands a programme (six channels in the meter order) to the processor block by block.
    void process (const juce::AudioSampleBuffer& programme);
    // The same with the host transport playing, so that the measurement runs.
    void measure (const juce::AudioSampleBuffer& programme);

    // One refresh, or several.
    void tick (int count = 1);

    // A parameter change from the host, in the parameter's own units.
    void setParameter (const char* name, float value);
    float parameter (const char* name) const;

    // Clicks a button as a mouse click would (toggling it if it toggles) and delivers it.
    static void click (juce::Button& button);

    std::unique_ptr<Tarn51AudioProcessor> processor;
    FakePlayHead playHead;
    std::unique_ptr<RiroruduLoudnessAudioProcessorEditor> editor;
    std::unique_ptr<EditorProbe> probe;
};
} // namespace EditorTest
