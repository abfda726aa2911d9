#pragma once

#include <limits>

#include "editor/MeterScale.h"
#include "engine/LoudnessHistory.h"
#include "engine/LoudnessResults.h"
#include "engine/OSKALoudnessModule.h"
#include "engine/SpeakerLayout.h"
#include "engine/TruePeakDetector.h"
#include "processor/MeterReadings.h"
#include "processor/ParameterTable.h"
#include "processor/RelaxedAtomic.h"

#include <juce_audio_processors/juce_audio_processors.h>

// The meter's audio processor: one per plug-in instance, one in the standalone program.
//
// It owns everything that measures: the loudness module and the thread that evaluates its
// windows, the true-peak detector, the parameter table, the meter scales and the readings the
// editor shows. processBlock only reads the host's buffer (the standalone program's output
// routing aside): it copies the inputs into six channels in the meter's order L, R, C, LFE,
// Ls, Rs, K-weights and queues them, measures the true peak and updates `readings`.
//
// Threads:
// - audio thread: processBlock.
// - loudness thread ("TARNX Loudness Thread"): the module's time slice every 50 ms, between
//   prepareToPlay and releaseResources, while the processor runs in real time.
// - message thread: the editor (copies `readings`, reads `measuring`, `currentSampleRate`,
//   the host frame rate, the parameters and their changed flags; writes `manualRun`, clears
//   the over flags, calls resetMeasurement), prepareToPlay, releaseResources, the channel
//   assignment of the standalone program.
// Every field one thread writes while another reads it is a relaxed atomic; readers accept a
// mixture of old and new values for one refresh. The processor takes no lock of its own.
//
// Offline rendering (isNonRealtime, set by hosts while they export and by the command-line
// meter): the loudness thread could not keep up with audio that arrives faster than real
// time, so the module is taken off the thread and processBlock evaluates every full window
// itself. Every sample is then measured, whatever the speed.
//
// The standalone program creates the processor after
// juce::AudioProcessor::setTypeOfNextNewPlugin (wrapperType_Standalone); the processor reads
// its own wrapperType and then follows the standalone rules: "Follow Transport" off by
// default, channels routed by the device assignment instead of "Surround layout", the output
// rebuilt from that assignment, and the assignment stored with the state.
class Tarn51AudioProcessor : public juce::AudioProcessor
{
public:
    static constexpr int numMeterChannels = SpeakerLayout::maxChannels;
    static constexpr int refreshIntervalMilliseconds = 50;

    Tarn51AudioProcessor();
    ~Tarn51AudioProcessor() override;

    //==============================================================================
    // juce::AudioProcessor
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioSampleBuffer& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processorLayoutsChanged() override;

    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;
    bool silenceInProducesSilenceOut() const override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    // The parameter's identifier (its state attribute name) as the stable ID the formats use.
    // JUCE's default, the index, cannot start an LV2 name, so ten parameters shared one URI.
    juce::String getParameterID (int index) override;
    float getParameter (int index) override;
    const juce::String getParameterText (int index) override;
    int getParameterNumSteps (int index) override;
    float getParameterDefaultValue (int index) override;
    // A value that is not finite (NaN or infinity from a host) is ignored.
    void setParameter (int index, float newValue) override;
    bool isParameterAutomatable (int index) const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    // Own operations.

    // The editor's reset button: readings back to their start values, the module's queues,
    // filters, histograms and results cleared. The run state, the parameters and the
    // program stay. Message thread.
    void resetMeasurement();

    // Every field of `readings` back to its start value.
    void resetReadings();

    // Per-channel true-peak bookkeeping for one block: over flags, peak hold, bar position.
    void updateChannelPeak (float level, int channel);
    // Each channel's last peak level and its place on the true-peak scale. Audio thread.
    static constexpr float noLevel = std::numeric_limits<float>::quiet_NaN();
    float lastPeakLevel[numMeterChannels] = {noLevel, noLevel, noLevel, noLevel, noLevel, noLevel,
                                             noLevel, noLevel, noLevel, noLevel, noLevel, noLevel};
    float lastPeakPosition[numMeterChannels] = {};

    // setParameter followed by the notification of the host (its automation records the
    // value): juce::AudioProcessor::setParameterNotifyingHost, without its deprecation
    // warning at every caller.
    void setParameterAndNotifyHost (int index, float normalisedValue);

    // Standalone channel assignment: entries[i] is the device channel assigned to meter
    // channel i (-1: none). Stores the entries as the layout setting and derives the map of
    // buffer channels: the device gives processBlock only its active channels, packed in
    // ascending order, so each assigned meter channel gets the rank of its device channel
    // among the distinct assigned ones. Meter channels naming the same device channel share
    // its buffer channel; negative entries count as none, and so do the meter channels past
    // count. Message thread.
    void applyInputLayout (const int* entries, int count);
    void applyOutputLayout (const int* entries, int count);
    template <int count> void applyInputLayout (const int (&entries)[count])
    {
        applyInputLayout (entries, count);
    }
    template <int count> void applyOutputLayout (const int (&entries)[count])
    {
        applyOutputLayout (entries, count);
    }

    // The arrangement of the meter's channels (a SpeakerLayout id), for the standalone program's
    // layout choice and for states. An id out of range means 5.1. The audio thread takes the
    // new arrangement at its next block (a change starts the windows and filters afresh; the
    // statistics stay). In the plug-ins a host that names more than six speakers decides the
    // arrangement instead. Message thread.
    void setMeterLayout (int layoutId) noexcept;
    // The arrangement the meter measures in (the one asked for until the next block applies it).
    int getMeterLayout() const noexcept;

    // The arrangement a bus of the plug-in is measured in and, for each meter channel, the bus
    // channel that feeds it (-1: none); `preferred` picks between arrangements of the same
    // count for a bus that names no speakers. False for a bus of more than six channels that
    // is no arrangement of the meter; a bus of up to six channels is 5.1, ordered by the
    // "Surround layout" parameter (the map is then left alone).
    static bool arrangementOfBus (const juce::AudioChannelSet& bus, int preferred, int& layoutId,
                                  int (&map)[numMeterChannels]);

    // The build the processor was created for.
    bool isStandalone() const noexcept { return wrapperType == wrapperType_Standalone; }

    // The host's frame rate of the last block, for readers on other threads (positionInfo
    // itself belongs to the audio thread).
    juce::AudioPlayHead::FrameRateType getHostFrameRate() const noexcept;

    // The input channels that carry audio, one bit each (bit 0 the first); the others are
    // silent. For callers whose bus is wider than their audio, such as the command-line meter:
    // only the meter channels these inputs feed are then measured. Every channel by default.
    // Before prepareToPlay.
    void setInputChannelMask (juce::uint32 mask) noexcept { inputChannelMask = mask; }

    // Whether the loudness module is a client of loudnessThread at the moment.
    bool isModuleOnLoudnessThread() const noexcept { return moduleOnThread; }

    //==============================================================================
    // State, in this order; public because the editor, the report and the command-line meter
    // read it directly.

    juce::AudioPlayHead::CurrentPositionInfo positionInfo; // host position of the last block
    juce::TimeSliceThread loudnessThread;
    OSKALoudnessModule loudnessModule;
    TruePeakDetector truePeakDetector;
    // Loudness over time while measuring, one step per 100 ms; read by the editor's History page
    // and the command-line meter.
    LoudnessHistory loudnessHistory;
    // The true peak of each 100 ms step of the queued audio, for the history. Audio thread.
    TruePeakSteps truePeakSteps;
    LoudnessResults latestResults; // the module's results, copied in every block
    RelaxedAtomic<double> currentSampleRate{0.0};
    RelaxedAtomic<int> measuring{0};        // 1 while the measurement accumulates
    RelaxedAtomic<int> manualRun{0};        // the editor's play/pause state
    RelaxedAtomic<int> transportRolling{0}; // this block: host playing, position moved
    int currentProgram = 0;
    MeterReadings readings;
    ParameterTable parameters;
    MeterScale loudnessScale;
    MeterScale truePeakScale;
    MeterScale automationScale;
    juce::AudioSampleBuffer remapBuffer; // the block in meter channel order
    // Channels of remapBuffer known to hold silence over its whole length: they need no
    // clearing while no input is copied into them.
    juce::uint32 remapSilent = 0;
    // For each meter channel: the buffer channel that feeds it (-1: none).
    RelaxedAtomic<int> channelMap[numMeterChannels];
    // Standalone only: for each meter channel, the buffer channel it is written to.
    RelaxedAtomic<int> outputChannelMap[SpeakerLayout::maxChannels];
    // Standalone only: the device channels assigned to the meter channels, as saved.
    RelaxedAtomic<int> inputLayoutSetting[SpeakerLayout::maxChannels];
    RelaxedAtomic<int> outputLayoutSetting[SpeakerLayout::maxChannels];

private:
    // Parameter indices, looked up by name once: the table never changes its order.
    struct ParameterIndices
    {
        int standard, scale, unit, type, followTransport, surroundLayout, truePeakMaxLevel;
        int momentaryThreshold, shortTermThreshold, momentaryOutput, shortTermOutput;
    };

    float valueOf (int parameterIndex) const { return parameters.getValue (parameterIndex); }
    int choiceOf (int parameterIndex) const { return parameters.choiceOf (parameterIndex); }

    void readHostPosition();
    void chooseChannelMap();
    // The plug-in's arrangement from its input bus (busLayout, busMap). Not while processBlock runs
    // on another thread in a way that matters: the audio thread takes the new values at its next block.
    void updateBusArrangement();
    // The arrangement this block measures in, applied to the module and the readings when it changed.
    void applyMeterLayout();
    // Tells the module which meter channels the map feeds from the inputs in use.
    void updateActiveChannels();
    // Fills remapBuffer; channels no input is copied into are silent.
    void remapInputs (const juce::AudioSampleBuffer& buffer, int numSamples);
    void feedModule (int startSample, int numSamples);
    void measureInRealTime (int numSamples);
    void measureOffline (int numSamples);
    void evaluateReadyWindows (int maximumWindows);
    // Takes what the last time slice (or offline evaluation) produced: the momentary maximum
    // of its 10 ms steps, its last momentary and short-term values.
    void takeNewValues();
    void takeMomentaryMaximum();
    void takeMomentary();
    void takeShortTerm();
    void measureTruePeak (int numSamples);
    void rebuildOutput (juce::AudioSampleBuffer& buffer, int numSamples);

    void setModuleOnThread (bool shouldBeOnThread);
    void startEditorRefresh();
    void stopEditorRefresh();

    // Entries past count are none; map has mapSize channels.
    static void rankChannels (const int* entries, int count, RelaxedAtomic<int>* map, int mapSize);

    ParameterIndices indices{};
    RelaxedAtomic<int> hostFrameRate{0};
    // Whether the processor is between prepareToPlay and releaseResources, and whether the
    // module is a client of loudnessThread. Touched by prepareToPlay, releaseResources and
    // processBlock only, which hosts never run at the same time.
    bool prepared = false;
    bool moduleOnThread = false;
    // The module's queueResets when truePeakSteps last started counting. Audio thread.
    std::uint32_t peakStepResets = 0;
    juce::uint32 inputChannelMask = ~0u;
    juce::AudioSampleBuffer outputBuffer; // standalone output routing
    // The arrangement asked for (setMeterLayout, a state); the plug-ins' bus of more than six
    // channels, when it has one (-1: none), and the bus channel of each meter channel then.
    RelaxedAtomic<int> requestedLayout{SpeakerLayout::surround51};
    RelaxedAtomic<int> busLayout{-1};
    RelaxedAtomic<int> busMap[numMeterChannels];
    // The arrangement the module and the readings have. Audio thread.
    int appliedLayout = SpeakerLayout::surround51;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Tarn51AudioProcessor)
};
