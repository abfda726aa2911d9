#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "editor/RiroruduLoudnessAudioProcessorEditor.h"
#include "processor/RefreshTimerControl.h"
#include "support/TestSignals.h"

using namespace ProcessorDriver;

namespace
{
// Creates processors for the standalone program while it lives.
struct StandaloneScope
{
    StandaloneScope()
    {
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    }
    ~StandaloneScope()
    {
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    }
};

// An editor of the kind the meter's own will be: it counts the refresh requests.
class CountingEditor : public juce::AudioProcessorEditor, public RefreshTimerControl
{
public:
    explicit CountingEditor (juce::AudioProcessor& p) : juce::AudioProcessorEditor (p) { setSize (10, 10); }

    void startRefreshTimer (int interval) override
    {
        ++starts;
        lastInterval = interval;
    }

    void stopRefreshTimer() override { ++stops; }

    int starts = 0, stops = 0, lastInterval = 0;
};

// A processor whose editor is the counting one.
class ProcessorWithCountingEditor : public Tarn51AudioProcessor
{
public:
    juce::AudioProcessorEditor* createEditor() override { return new CountingEditor (*this); }
};
} // namespace

TEST (ProcessorLifecycle, ConstructionStartsTheThreadWithoutTheModule)
{
    Tarn51AudioProcessor p;

    EXPECT_TRUE (p.loudnessThread.isThreadRunning());
    EXPECT_EQ (p.loudnessThread.getThreadName(), juce::String ("TARNX Loudness Thread"));
    EXPECT_FALSE (p.loudnessThread.contains (&p.loudnessModule));
    EXPECT_EQ (p.currentSampleRate, 0.0);
    EXPECT_EQ (p.measuring, 0);
    EXPECT_EQ (p.manualRun, 0);
    EXPECT_EQ (p.currentProgram, 0);
    EXPECT_EQ (p.loudnessScale.type, -1);
    EXPECT_EQ (p.truePeakScale.type, -1);
    EXPECT_EQ (p.automationScale.type, 6);
    EXPECT_EQ (p.remapBuffer.getNumSamples(), 0);

    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (p.channelMap[i], -1);
        EXPECT_EQ (p.outputChannelMap[i], -1);
        EXPECT_EQ (p.inputLayoutSetting[i], -1);
        EXPECT_EQ (p.outputLayoutSetting[i], -1);
        EXPECT_EQ (p.readings.peakHold[i], -70.0f);
    }

    EXPECT_EQ (p.readings.momentary, -70.0f);
    EXPECT_EQ (p.readings.loudnessRange, -70.0f);
    EXPECT_EQ (p.readings.maxTruePeak, -70.0f);
    EXPECT_EQ (p.readings.measuredSamples, 0.0);
    EXPECT_EQ (p.latestResults.integrated, -70.0f);
}

TEST (ProcessorLifecycle, HostFacingAnswers)
{
    Tarn51AudioProcessor p;

    EXPECT_EQ (p.getName(), juce::String ("Tarn5.1"));
    EXPECT_EQ (p.getInputChannelName (0), juce::String ("1"));
    EXPECT_EQ (p.getOutputChannelName (5), juce::String ("6"));
    EXPECT_TRUE (p.isInputChannelStereoPair (3));
    EXPECT_FALSE (p.acceptsMidi() || p.producesMidi());
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);

    // Programs go through the table and keep the processor's current program.
    p.setCurrentProgram (2);
    EXPECT_EQ (p.getCurrentProgram(), 2);
    EXPECT_EQ (p.parameters.getValue (0), 2.0f);
    p.setCurrentProgram (3);
    EXPECT_EQ (p.getCurrentProgram(), 2);
}

TEST (ProcessorLifecycle, AcceptsTheAnnouncedChannelConfigurationsOnly)
{
    Tarn51AudioProcessor p;

    // Built 6 in / 6 out, the first configuration the wrappers apply.
    EXPECT_EQ (p.getTotalNumInputChannels(), 6);
    EXPECT_EQ (p.getTotalNumOutputChannels(), 6);

    for (const int n : {1, 2, 5, 6})
    {
        p.setPlayConfigDetails (n, n, rate, blockSize);
        EXPECT_EQ (p.getTotalNumInputChannels(), n);
        EXPECT_EQ (p.getTotalNumOutputChannels(), n);
    }

    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::stereo());
    layout.outputBuses.add (juce::AudioChannelSet::create5point1());
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout));

    layout.inputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (6);
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::create6point0();
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout));

    layout.inputBuses.getReference (0) = juce::AudioChannelSet::quadraphonic();
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::quadraphonic();
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout));

    // Beyond six channels, the meter's arrangements only.
    layout.inputBuses.getReference (0) = juce::AudioChannelSet::create7point1SDDS();
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::create7point1SDDS();
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout));

    layout.inputBuses.getReference (0) = juce::AudioChannelSet::create7point1();
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::create7point1();
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout));
}

TEST (ProcessorLifecycle, PrepareAddsTheModuleAndReleaseRemovesIt)
{
    Tarn51AudioProcessor p;
    p.prepareToPlay (44100.0, 256);

    EXPECT_EQ (p.currentSampleRate, 44100.0);
    EXPECT_EQ (p.loudnessModule.sampleRate, 44100.0);
    EXPECT_EQ (p.loudnessModule.momentaryLength, 17640);
    EXPECT_EQ (p.loudnessModule.inputBuffer.getNumChannels(), SpeakerLayout::maxChannels);
    EXPECT_EQ (p.loudnessModule.inputBuffer.getNumSamples(), 256);
    EXPECT_EQ (p.truePeakDetector.sampleRate, 44100.0);
    EXPECT_EQ (p.truePeakDetector.phaseCount, 4);
    EXPECT_TRUE (p.loudnessThread.contains (&p.loudnessModule));

    p.releaseResources();
    EXPECT_FALSE (p.loudnessThread.contains (&p.loudnessModule));

    // Queued audio survives a release and a new prepare at the same rate.
    runManually (p);
    p.prepareToPlay (44100.0, 256);
    p.setNonRealtime (true);
    processSilence (p, 10000);
    const int queued = p.loudnessModule.momentaryFifo->numReady();
    EXPECT_EQ (queued, 10000);
    p.releaseResources();
    p.setNonRealtime (false);
    p.prepareToPlay (44100.0, 256);
    EXPECT_EQ (p.loudnessModule.momentaryFifo->numReady(), queued);

    // A rate without a table row gets filters, windows and a true-peak interpolation (8x) of
    // its own.
    p.prepareToPlay (32000.0, 256);
    EXPECT_EQ (p.loudnessModule.momentaryLength, 12800);
    EXPECT_EQ (p.loudnessModule.shortTermLength, 96000);
    EXPECT_EQ (p.truePeakDetector.phaseCount, 8);
    EXPECT_TRUE (p.loudnessThread.contains (&p.loudnessModule));
}

TEST (ProcessorLifecycle, PrepareAndReleaseRestartAndStopTheEditorsRefresh)
{
    ProcessorWithCountingEditor p;
    p.prepareToPlay (rate, blockSize); // no editor yet: nothing to do

    std::unique_ptr<juce::AudioProcessorEditor> editor (p.createEditorIfNeeded());
    auto* counting = dynamic_cast<CountingEditor*> (editor.get());
    ASSERT_NE (counting, nullptr);

    p.prepareToPlay (rate, blockSize);
    EXPECT_EQ (counting->starts, 1);
    EXPECT_EQ (counting->lastInterval, 50);
    p.releaseResources();
    EXPECT_EQ (counting->stops, 1);

    p.editorBeingDeleted (editor.get());
    editor.reset();
    p.prepareToPlay (rate, blockSize); // the editor is gone: nothing to do
}

TEST (ProcessorLifecycle, TheEditorIsTheMetersOwn)
{
    Tarn51AudioProcessor p;
    std::unique_ptr<juce::AudioProcessorEditor> editor (p.createEditorIfNeeded());
    EXPECT_NE (dynamic_cast<RiroruduLoudnessAudioProcessorEditor*> (editor.get()), nullptr);
    p.editorBeingDeleted (editor.get());
}

TEST (ProcessorLifecycle, StandaloneBuildIsToldByTheWrapperType)
{
    std::unique_ptr<Tarn51AudioProcessor> standalone;
    {
        StandaloneScope scope;
        standalone = std::make_unique<Tarn51AudioProcessor>();
    }
    Tarn51AudioProcessor plugin;

    EXPECT_TRUE (standalone->isStandalone());
    EXPECT_FALSE (plugin.isStandalone());

    const int follow = plugin.parameters.indexOf ("Follow Transport");
    EXPECT_EQ (standalone->parameters.getValue (follow), 0.0f);
    EXPECT_EQ (plugin.parameters.getValue (follow), 1.0f);
    standalone->setCurrentProgram (1);
    EXPECT_EQ (standalone->parameters.getValue (follow), 0.0f);
}

TEST (ProcessorLifecycle, ResetMeasurementClearsResultsButKeepsRunStateAndSettings)
{
    Tarn51AudioProcessor p;
    p.prepareToPlay (rate, blockSize);
    p.setNonRealtime (true);
    runManually (p);
    setValue (p, "ML Threshold", -25.0f);

    process (p, TestSignals::sine (rate, 997.0, -20.0f, 4.0, TestSignals::only (TestSignals::L)));
    ASSERT_EQ (p.readings.integrated, -23.0f);
    ASSERT_GT (p.readings.measuredSamples, 0.0);
    ASSERT_GT (totalCount (p.loudnessModule.momentaryHistogram), 0.0f);

    p.resetMeasurement();

    EXPECT_EQ (p.readings.integrated, -70.0f);
    EXPECT_EQ (p.readings.momentary, -70.0f);
    EXPECT_EQ (p.readings.maxMomentary, -70.0f);
    EXPECT_EQ (p.readings.maxTruePeak, -70.0f);
    EXPECT_EQ (p.readings.peakHold[0], -70.0f);
    EXPECT_EQ (p.readings.measuredSamples, 0.0);
    EXPECT_EQ (p.readings.momentaryHits, 0);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 0.0f);
    EXPECT_EQ (totalCount (p.loudnessModule.shortTermHistogram), 0.0f);
    EXPECT_EQ (p.loudnessModule.getResults().integrated, -70.0f);
    EXPECT_EQ (p.loudnessModule.getResults().shortTerm, -70.0f);
    EXPECT_EQ (p.loudnessModule.momentaryFifo->numReady(), 0);
    EXPECT_EQ (p.measuring, 1);
    EXPECT_EQ (p.manualRun, 1);
    EXPECT_EQ (p.parameters.getValue (p.parameters.indexOf ("ML Threshold")), -25.0f);

    // The next momentary value is counted into an empty histogram.
    process (p, TestSignals::sine (rate, 997.0, -30.0f, 0.4, TestSignals::only (TestSignals::L)));
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 1.0f);
    EXPECT_EQ (p.readings.integrated, p.readings.momentary);
}
