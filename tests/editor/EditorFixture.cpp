#include "EditorFixture.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{
// The tests draw the editor themselves and need no display. Without a DISPLAY the framework
// would try the X server at :0, if some other program runs one there, and would go down
// with it when that server quits.
[[maybe_unused]] const bool withoutDisplay = ::setenv ("DISPLAY", ":65535", 1) == 0;
} // namespace

namespace EditorTest
{
juce::Image shownImage (juce::DrawableButton& button)
{
    auto* drawable = dynamic_cast<juce::DrawableImage*> (button.getCurrentImage());
    return drawable != nullptr ? drawable->getImage() : juce::Image();
}

juce::Image render (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
}

void writeSnapshot (const juce::String& name, const juce::Image& image)
{
    const auto file =
        juce::File::getCurrentWorkingDirectory().getChildFile ("snapshots").getChildFile (name + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk()) << file.getFullPathName();
    juce::PNGImageFormat png;
    ASSERT_TRUE (png.writeImageToStream (image, out));
}

void dispatchMessages()
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
}

juce::AudioSampleBuffer minus23Programme()
{
    return TestSignals::sineProgramme (rate, 1000.0, {{-3.0f, 10.0}, {3.0f, 10.0}, {-3.0f, 10.0}},
                                       TestSignals::fiveChannelDb (-28.0f, -28.0f, -24.0f, -30.0f, -30.0f));
}

namespace
{
float integratedOf (const juce::AudioSampleBuffer& programme)
{
    Fixture f;
    f.closeEditor();
    f.measure (programme);
    return f.processor->readings.integrated;
}
} // namespace

const juce::AudioSampleBuffer& speechProgramme()
{
    static const juce::AudioSampleBuffer programme = []
    {
        // Passages of 1.5 s whose levels wander over some 14 dB, as a programme's do.
        const auto gains = TestSignals::fiveChannelDb (-2.0f, -2.5f, 0.0f, -7.0f, -8.0f);
        juce::AudioSampleBuffer result (6, 0);

        for (int i = 0; i < 20; ++i)
        {
            const auto level = -26.0f + 5.0f * std::sin (0.7f * (float)i) + 2.0f * std::sin (2.3f * (float)i);
            TestSignals::append (result,
                                 TestSignals::speechLike (rate, level, 1.5, 100u + (std::uint32_t)i, gains));
        }

        // Loudness follows the gain, up to the 0.1 LU bins that integrated loudness is taken from.
        for (int attempt = 0; attempt < 6; ++attempt)
        {
            const auto measured = integratedOf (result);

            if (std::abs (measured + 23.0f) < 0.01f)
                break;

            result.applyGain (juce::Decibels::decibelsToGain (-23.0f - measured));
        }

        return result;
    }();

    return programme;
}

Fixture::Fixture (bool standalone)
{
    if (standalone)
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);

    processor = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    processor->setNonRealtime (true);
    processor->setPlayHead (&playHead);
    processor->prepareToPlay (rate, blockSize);

    editor.reset (dynamic_cast<RiroruduLoudnessAudioProcessorEditor*> (processor->createEditorIfNeeded()));
    probe = std::make_unique<EditorProbe> (*editor);

    // The tests run the refresh themselves, tick by tick; the editor's own timer would add
    // ticks whenever the message loop runs.
    editor->stopRefreshTimer();
}

Fixture::~Fixture()
{
    closeEditor();
    processor->releaseResources();
    processor->setPlayHead (nullptr);
}

void Fixture::closeEditor()
{
    // As a host's wrapper does: the processor hears of it before the editor goes.
    probe.reset();

    if (editor != nullptr)
        processor->editorBeingDeleted (editor.get());

    editor.reset();
}

void Fixture::process (const juce::AudioSampleBuffer& programme)
{
    juce::AudioSampleBuffer block (6, blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start < programme.getNumSamples(); start += blockSize)
    {
        const auto n = juce::jmin (blockSize, programme.getNumSamples() - start);
        block.setSize (6, n, false, false, true);

        for (int c = 0; c < 6; ++c)
            block.copyFrom (c, 0, programme, c, start, n);

        processor->processBlock (block, midi);
        playHead.advance (n);
    }
}

void Fixture::measure (const juce::AudioSampleBuffer& programme)
{
    playHead.info.setIsPlaying (true);
    process (programme);
}

void Fixture::tick (int count)
{
    for (int i = 0; i < count; ++i)
        editor->timerCallback();
}

void Fixture::setParameter (const char* name, float value)
{
    const auto index = processor->parameters.indexOf (name);
    ASSERT_GE (index, 0) << name;
    const auto range = processor->parameters.ranges[(size_t)index];
    processor->setParameter (index, (value - range.minimum) / (range.maximum - range.minimum));
}

float Fixture::parameter (const char* name) const
{
    return processor->parameters.getValue (processor->parameters.indexOf (name));
}

void Fixture::click (juce::Button& button)
{
    button.triggerClick();
    dispatchMessages();
}
} // namespace EditorTest
