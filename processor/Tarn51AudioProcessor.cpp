#include "processor/Tarn51AudioProcessor.h"

#include "editor/EditorTypeface.h"
#include "editor/RiroruduLoudnessAudioProcessorEditor.h"

#include "processor/RefreshTimerControl.h"
#include "processor/StateBlock.h"

#include "engine/SimdLevel.h"

#include <cmath>
#include <limits>

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
constexpr int numChannels = Tarn51AudioProcessor::numMeterChannels;

const char* const stateTag = "MYPLUGINSETTINGS";
const char* const inputLayoutAttribute = "settingsInputLayout";
const char* const outputLayoutAttribute = "settingsOutputLayout";
// The arrangement of the meter's channels; left out for 5.1, so that 5.1 states stay as they were.
const char* const meterLayoutAttribute = "meterLayout";

// For each "Surround layout" choice, the input channel that feeds each meter channel of 5.1
// (L, R, C, LFE, Ls, Rs).
constexpr int surroundMaps[3][6] = {
    {0, 1, 2, 3, 4, 5}, // ITU - L R C LFE Ls Rs
    {0, 2, 1, 5, 3, 4}, // C|24 - L C R Ls Rs LFE
    {0, 1, 4, 5, 2, 3}  // DTS - L R Ls Rs C LFE
};

// floor (x * 10 + 0.5) / 10 in single precision.
float roundToTenth (float x)
{
    return std::floor (x * 10.0f + 0.5f) / 10.0f;
}

// Copies samples, putting 0 in place of NaN and infinity and limiting the rest to +-1e6
// (+120 dBFS): a single such sample from a faulty plug-in upstream would otherwise stay in the
// K-weighting filters for good, and finite samples near the float limit overflow the filters,
// the mean squares and the true-peak sums to infinity and then NaN. Only the measured copy is
// limited; the host's audio passes unchanged.
template <typename = void>
inline __attribute__ ((always_inline)) void copyFiniteLoop (const float* source, float* destination,
                                                            int numSamples)
{
    constexpr float limit = 1.0e6f;
    constexpr float largest = std::numeric_limits<float>::max();

    // Comparisons only (NaN fails every one), so that the loop becomes vector code.
    for (int i = 0; i < numSamples; ++i)
    {
        const float x = source[i];
        const float limited = x < -limit ? -limit : (limit < x ? limit : x);
        destination[i] = (x >= -largest && x <= largest) ? limited : 0.0f;
    }
}

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
// Eight samples a step where the processor has AVX2: a sample's copy is the same either way.
__attribute__ ((target ("avx2"))) void copyFiniteAvx2 (const float* source, float* destination,
                                                       int numSamples)
{
    copyFiniteLoop (source, destination, numSamples);
}
#endif

void copyFinite (const float* source, float* destination, int numSamples)
{
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
    static const bool wide = simdLevel() >= SimdLevel::avx2;
    if (wide)
        return copyFiniteAvx2 (source, destination, numSamples);
#endif
    copyFiniteLoop (source, destination, numSamples);
}

int freeRoom (const OverlapFifo& fifo)
{
    return fifo.getCapacity() - 1 - fifo.numReady();
}

juce::AudioPlayHead::CurrentPositionInfo
toCurrentPositionInfo (const juce::AudioPlayHead::PositionInfo& position)
{
    juce::AudioPlayHead::CurrentPositionInfo info;

    if (const auto signature = position.getTimeSignature())
    {
        info.timeSigNumerator = signature->numerator;
        info.timeSigDenominator = signature->denominator;
    }

    if (const auto loop = position.getLoopPoints())
    {
        info.ppqLoopStart = loop->ppqStart;
        info.ppqLoopEnd = loop->ppqEnd;
    }

    if (const auto frameRate = position.getFrameRate())
        info.frameRate = *frameRate;

    if (const auto seconds = position.getTimeInSeconds())
        info.timeInSeconds = *seconds;

    if (const auto lastBarStart = position.getPpqPositionOfLastBarStart())
        info.ppqPositionOfLastBarStart = *lastBarStart;

    if (const auto ppq = position.getPpqPosition())
        info.ppqPosition = *ppq;

    if (const auto origin = position.getEditOriginTime())
        info.editOriginTime = *origin;

    if (const auto bpm = position.getBpm())
        info.bpm = *bpm;

    if (const auto samples = position.getTimeInSamples())
        info.timeInSamples = *samples;

    info.isPlaying = position.getIsPlaying();
    info.isRecording = position.getIsRecording();
    info.isLooping = position.getIsLooping();
    return info;
}

// The speaker types of a bus that take each channel of an arrangement, in the meter's order: a
// second choice where formats name the same place two ways (5.1.2's upper pair is "top side" in
// some, "top front" in others).
using Type = juce::AudioChannelSet::ChannelType;
struct BusSpeaker
{
    Type type, alternative;
};
constexpr BusSpeaker frontAndLfe[] = {{juce::AudioChannelSet::left, juce::AudioChannelSet::unknown},
                                      {juce::AudioChannelSet::right, juce::AudioChannelSet::unknown},
                                      {juce::AudioChannelSet::centre, juce::AudioChannelSet::unknown},
                                      {juce::AudioChannelSet::LFE, juce::AudioChannelSet::unknown}};

BusSpeaker busSpeakerOf (int layoutId, int channel)
{
    using S = juce::AudioChannelSet;
    constexpr Type none = S::unknown;

    if (channel < 4)
        return frontAndLfe[channel];

    const bool seven = layoutId == SpeakerLayout::surround71 || layoutId == SpeakerLayout::surround712 ||
                       layoutId == SpeakerLayout::surround714;
    const BusSpeaker middle[] = {
        {seven ? S::leftSurroundSide : S::leftSurround, none},
        {seven ? S::rightSurroundSide : S::rightSurround, none},
        {S::leftSurroundRear, none},
        {S::rightSurroundRear, none},
    };
    const int middleCount = seven ? 4 : 2;

    if (channel < 4 + middleCount)
        return middle[channel - 4];

    const int upper = channel - 4 - middleCount;

    if (layoutId == SpeakerLayout::surround512 || layoutId == SpeakerLayout::surround712)
        return upper == 0 ? BusSpeaker{S::topSideLeft, S::topFrontLeft}
                          : BusSpeaker{S::topSideRight, S::topFrontRight};

    const BusSpeaker four[] = {
        {S::topFrontLeft, none}, {S::topFrontRight, none}, {S::topRearLeft, none}, {S::topRearRight, none}};
    return four[upper];
}

// The first entries of source, as many as destination takes; the rest of a longer destination
// unassigned (-1).
template <typename Source, size_t sourceSize, size_t destinationSize>
void copyEntries (const Source (&source)[sourceSize], int (&destination)[destinationSize])
{
    for (size_t i = 0; i < destinationSize; ++i)
        destination[i] = i < sourceSize ? (int)source[i] : -1;
}
} // namespace

//==============================================================================
Tarn51AudioProcessor::Tarn51AudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::create5point1(), true)
                                .withOutput ("Output", juce::AudioChannelSet::create5point1(), true)),
      loudnessThread ("TARNX Loudness Thread"),
      parameters (wrapperType == wrapperType_Standalone ? ParameterTable::Variant::standalone
                                                        : ParameterTable::Variant::plugin)
{
    for (int i = 0; i < numChannels; ++i)
        channelMap[i] = -1;

    for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
    {
        outputChannelMap[i] = -1;
        inputLayoutSetting[i] = -1;
        outputLayoutSetting[i] = -1;
        busMap[i] = -1;
    }

    indices.standard = parameters.indexOf ("Measurement Standard");
    indices.scale = parameters.indexOf ("Measurement Scale");
    indices.unit = parameters.indexOf ("Measurement Unit");
    indices.type = parameters.indexOf ("Measurement Type");
    indices.followTransport = parameters.indexOf ("Follow Transport");
    indices.surroundLayout = parameters.indexOf ("Surround layout");
    indices.truePeakMaxLevel = parameters.indexOf ("TruePeak Max Level");
    indices.momentaryThreshold = parameters.indexOf ("ML Threshold");
    indices.shortTermThreshold = parameters.indexOf ("STL Threshold");
    indices.momentaryOutput = parameters.indexOf ("Mom. Loudness Param");
    indices.shortTermOutput = parameters.indexOf ("Sht. Loudness Param");

    resetReadings();
    loudnessModule.recordHistory (&loudnessHistory, &truePeakSteps);
    loudnessThread.startThread();
    automationScale.setType (6);
}

Tarn51AudioProcessor::~Tarn51AudioProcessor()
{
    loudnessThread.stopThread (1000);
}

const juce::String Tarn51AudioProcessor::getName() const
{
    return "Tarn5.1";
}

//==============================================================================
void Tarn51AudioProcessor::prepareToPlay (double sampleRate, int estimatedSamplesPerBlock)
{
    currentSampleRate = sampleRate;
    const int samplesPerBlock = juce::jmax (0, estimatedSamplesPerBlock);

    // A rate of 0 or less (a host that has none yet) would give windows of no length; the
    // module keeps the windows it has until a usable rate arrives.
    if (sampleRate != loudnessModule.sampleRate && sampleRate > 0.0 && std::isfinite (sampleRate))
    {
        // Hosts call prepareToPlay again without releaseResources when the rate changes; the
        // windows must not be replaced under a running time slice.
        setModuleOnThread (false);

        loudnessModule.sampleRate = sampleRate;
        loudnessModule.updateFilterCoefficients();
        loudnessModule.allocateWindows();
        truePeakSteps.prepare (loudnessModule.momentaryHop);
    }

    updateBusArrangement();
    applyMeterLayout();
    updateActiveChannels();

    loudnessModule.inputBuffer.setSize (numChannels, samplesPerBlock);

    truePeakDetector.setSampleRate (sampleRate);
    truePeakDetector.prepare (samplesPerBlock);

    // Sized here as well, so that blocks up to the announced size never allocate.
    remapBuffer.setSize (numChannels, samplesPerBlock);
    remapSilent = 0;
    outputBuffer.setSize (juce::jmax (numChannels, getTotalNumInputChannels(), getTotalNumOutputChannels()),
                          samplesPerBlock);

    startEditorRefresh();

    prepared = true;
    setModuleOnThread (!isNonRealtime());
}

void Tarn51AudioProcessor::releaseResources()
{
    stopEditorRefresh();
    setModuleOnThread (false);
    prepared = false;
}

//==============================================================================
void Tarn51AudioProcessor::processBlock (juce::AudioSampleBuffer& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();
    const bool offline = isNonRealtime();

    // Offline the processor evaluates the windows itself, so no time slice may run meanwhile.
    setModuleOnThread (prepared && !offline);

    transportRolling = 0;
    readHostPosition();

    const int run = choiceOf (indices.followTransport) != 0 ? transportRolling.load() : manualRun.load();
    measuring = run;
    // A change empties the windows and clears the filters; the statistics are kept.
    loudnessModule.setMeasuring (run);

    if (run != 0)
        readings.measuredSamples = readings.measuredSamples + numSamples;

    const bool gated = choiceOf (indices.type) == 0;
    loudnessModule.momentaryHistogram.gated.store (gated, relaxed);
    loudnessModule.shortTermHistogram.gated.store (gated, relaxed);

    truePeakScale.setType (8);
    {
        const long long unit = choiceOf (indices.unit);
        const long long scale = choiceOf (indices.scale);
        const long long notEbu = choiceOf (indices.standard) != 0 ? 1 : 0;
        const long long type = unit + 2 * scale + 4 * notEbu;
        loudnessScale.setType ((int)juce::jlimit<long long> (std::numeric_limits<int>::min(),
                                                             std::numeric_limits<int>::max(), type));
    }

    applyMeterLayout();

    // The standalone program's map comes from the device channel assignment.
    if (!isStandalone())
        chooseChannelMap();

    // Changes only with the map (a new layout choice or assignment), which is rare.
    updateActiveChannels();

    remapInputs (buffer, numSamples);

    // The true peak first: the loudness history takes each 100 ms step's peak from the
    // detector's magnitudes before the same samples go into the window queues.
    measureTruePeak (numSamples);

    if (offline)
        measureOffline (numSamples);
    else
        measureInRealTime (numSamples);

    if (isStandalone())
        rebuildOutput (buffer, numSamples);
}

void Tarn51AudioProcessor::readHostPosition()
{
    bool valid = false;
    juce::AudioPlayHead::CurrentPositionInfo fresh;

    if (auto* head = getPlayHead())
    {
        if (const auto position = head->getPosition())
        {
            fresh = toCurrentPositionInfo (*position);
            valid = true;
        }
    }

    if (valid)
    {
        // The comparison leaves out timeInSeconds: a host that reports playing but does not
        // move does not count as rolling.
        if (fresh != positionInfo && fresh.isPlaying)
            transportRolling = 1;

        positionInfo = fresh;
    }
    else
    {
        positionInfo = juce::AudioPlayHead::CurrentPositionInfo();
    }

    hostFrameRate = (int)positionInfo.frameRate.getType();
}

void Tarn51AudioProcessor::chooseChannelMap()
{
    // A bus that names more speakers than 5.1 has is laid out by the host.
    if (busLayout >= 0)
    {
        for (int j = 0; j < numChannels; ++j)
            channelMap[j] = busMap[j];

        return;
    }

    const int choice = choiceOf (indices.surroundLayout);

    // Any other choice keeps the map as it was.
    if (choice < 0 || choice > 2)
        return;

    for (int j = 0; j < numChannels; ++j)
        channelMap[j] = j < 6 ? surroundMaps[choice][j] : -1;
}

void Tarn51AudioProcessor::setMeterLayout (int layoutId) noexcept
{
    requestedLayout = SpeakerLayout::get (layoutId).id;

    // A plug-in bus that names no speakers may take the arrangement asked for.
    if (!isStandalone())
    {
        updateBusArrangement();
    }
    else
    {
        // The program's own choice: the pages show it at once, also while no audio device
        // runs; the audio thread applies it to the measurement with its next block.
        readings.layout = requestedLayout;
    }
}

int Tarn51AudioProcessor::getMeterLayout() const noexcept
{
    if (isStandalone())
        return requestedLayout;

    const int fromBus = busLayout;
    return fromBus >= 0 ? fromBus : SpeakerLayout::surround51;
}

void Tarn51AudioProcessor::applyMeterLayout()
{
    const int layout = getMeterLayout();

    if (layout != appliedLayout)
    {
        appliedLayout = layout;
        loudnessModule.setLayout (layout);
    }

    // Every time: a reset of the readings on the message thread puts 5.1 there.
    readings.layout = appliedLayout;
}

void Tarn51AudioProcessor::processorLayoutsChanged()
{
    updateBusArrangement();
}

void Tarn51AudioProcessor::updateBusArrangement()
{
    int layout = SpeakerLayout::surround51;
    int map[numChannels];

    if (isStandalone() || getBusCount (true) < 1 ||
        !arrangementOfBus (getChannelLayoutOfBus (true, 0), requestedLayout, layout, map) ||
        layout == SpeakerLayout::surround51)
    {
        busLayout = -1;
        return;
    }

    for (int j = 0; j < numChannels; ++j)
        busMap[j] = map[j];

    busLayout = layout;
}

bool Tarn51AudioProcessor::arrangementOfBus (const juce::AudioChannelSet& bus, int preferred, int& layoutId,
                                             int (&map)[numMeterChannels])
{
    const int size = bus.size();

    if (size <= 6)
    {
        layoutId = SpeakerLayout::surround51;
        return size > 0;
    }

    if (size > numMeterChannels)
        return false;

    // The arrangement asked for first, then the others in the order of their ids.
    int order[SpeakerLayout::numLayouts];
    order[0] = SpeakerLayout::get (preferred).id;

    for (int id = 0, k = 1; id < SpeakerLayout::numLayouts; ++id)
        if (id != order[0])
            order[k++] = id;

    // A bus of numbered channels: the meter's order, the LFE left out when the bus is one short.
    if (bus.isDiscreteLayout())
    {
        for (const bool withLfe : {true, false})
        {
            for (const int id : order)
            {
                const auto& arrangement = SpeakerLayout::get (id);

                if (arrangement.numChannels != size + (withLfe ? 0 : 1))
                    continue;

                for (int j = 0, next = 0; j < numMeterChannels; ++j)
                    map[j] = j < arrangement.numChannels && (withLfe || !arrangement.speakers[j].isLfe)
                                 ? next++
                                 : -1;

                layoutId = id;
                return true;
            }
        }

        return false;
    }

    // Named speakers: an arrangement whose every speaker the bus has (the LFE may be missing)
    // and that leaves none of the bus's speakers out.
    for (const int id : order)
    {
        const auto& arrangement = SpeakerLayout::get (id);
        int found = 0;
        bool complete = true;

        for (int j = 0; j < numMeterChannels; ++j)
        {
            map[j] = -1;

            if (j >= arrangement.numChannels)
                continue;

            const auto speaker = busSpeakerOf (id, j);
            int index = bus.getChannelIndexForType (speaker.type);

            if (index < 0 && speaker.alternative != juce::AudioChannelSet::unknown)
                index = bus.getChannelIndexForType (speaker.alternative);

            if (index >= 0)
            {
                map[j] = index;
                ++found;
            }
            else if (!arrangement.speakers[j].isLfe)
            {
                complete = false;
            }
        }

        if (complete && found == size)
        {
            layoutId = id;
            return true;
        }
    }

    return false;
}

void Tarn51AudioProcessor::updateActiveChannels()
{
    const int inputs = getTotalNumInputChannels();
    juce::uint32 fed = 0;

    for (int j = 0; j < numChannels; ++j)
        if (const int source = channelMap[j];
            source >= 0 && source < inputs && source < 32 && (inputChannelMask & (1u << source)) != 0)
            fed |= 1u << j;

    if (fed != truePeakDetector.activeMask)
        truePeakDetector.setActiveChannelMask (fed);

    loudnessModule.setActiveChannelMask (fed);
}

void Tarn51AudioProcessor::remapInputs (const juce::AudioSampleBuffer& buffer, int numSamples)
{
    // A new length moves the channels within the storage: nothing is known to be silent then.
    if (remapBuffer.getNumChannels() != numChannels || remapBuffer.getNumSamples() != numSamples)
    {
        remapBuffer.setSize (numChannels, numSamples, false, false, true);
        remapSilent = 0;
    }

    const int inputs = juce::jmin (getTotalNumInputChannels(), buffer.getNumChannels());
    juce::uint32 written = 0;

    for (int i = 0; i < inputs; ++i)
    {
        // Inputs the caller declared silent stay as the cleared block has them.
        if (i < 32 && (inputChannelMask & (1u << i)) == 0)
            continue;

        for (int j = 0; j < numChannels; ++j)
        {
            if (channelMap[j] == i)
            {
                copyFinite (buffer.getReadPointer (i), remapBuffer.getWritePointer (j), numSamples);
                written |= 1u << j;
                break;
            }
        }
    }

    // The channels the inputs do not reach are silent: cleared once, then left alone.
    for (int j = 0; j < numChannels; ++j)
        if (((written | remapSilent) & (1u << j)) == 0)
            juce::FloatVectorOperations::clear (remapBuffer.getWritePointer (j), numSamples);

    remapSilent = ((1u << numChannels) - 1) & ~written;
}

void Tarn51AudioProcessor::feedModule (int startSample, int numSamples)
{
    auto& input = loudnessModule.inputBuffer;

    if (input.getNumChannels() != numChannels || input.getNumSamples() != numSamples)
        input.setSize (numChannels, numSamples, false, false, true);

    // The peaks of the steps these samples complete, counted from the queues' last emptying.
    if (const auto resets = loudnessModule.queueResets.load (relaxed); resets != peakStepResets)
    {
        peakStepResets = resets;
        truePeakSteps.restart();
    }

    // Channels no input feeds hold silence: they cannot raise a peak.
    truePeakSteps.add (truePeakDetector.buffer, startSample, numSamples, truePeakDetector.activeMask);
    // The module reads only the channels that carry audio, straight from the block.
    loudnessModule.feedFrom (&remapBuffer, startSample);
}

void Tarn51AudioProcessor::measureInRealTime (int numSamples)
{
    feedModule (0, numSamples);

    latestResults = loudnessModule.getResults();

    // The flags stay raised until the next time slice, so the blocks in between repeat
    // these steps with the same values.
    takeNewValues();
}

void Tarn51AudioProcessor::takeNewValues()
{
    if (loudnessModule.newMomentaryStep.load (relaxed))
        takeMomentaryMaximum();

    if (loudnessModule.newMomentary.load (relaxed))
        takeMomentary();

    if (loudnessModule.newShortTerm.load (relaxed))
        takeShortTerm();
}

void Tarn51AudioProcessor::measureOffline (int numSamples)
{
    const auto* momentaryFifo = loudnessModule.momentaryFifo.get();
    const auto* shortTermFifo = loudnessModule.shortTermFifo.get();

    if (momentaryFifo == nullptr || shortTermFifo == nullptr)
    {
        feedModule (0, numSamples);
        latestResults = loudnessModule.getResults();
        return;
    }

    // Feed no more than the queues can take, then evaluate every window that is complete, so
    // that no sample is dropped however large the block.
    for (int start = 0; start < numSamples;)
    {
        const int room = juce::jmin (freeRoom (*momentaryFifo), freeRoom (*shortTermFifo));
        const int count = room > 0 ? juce::jmin (room, numSamples - start) : numSamples - start;

        feedModule (start, count);
        start += count;

        // Each window consumes at least one sample at any usable rate; the bound only stops
        // a loop at rates so low that a hop has no length.
        evaluateReadyWindows (count + 2 * OSKALoudnessModule::windowsPerQueue);
    }

    latestResults = loudnessModule.getResults();
}

void Tarn51AudioProcessor::evaluateReadyWindows (int maximumWindows)
{
    for (int i = 0; i < maximumWindows && loudnessModule.windowReady(); ++i)
    {
        loudnessModule.computeBlocks();
        latestResults = loudnessModule.getResults();
        takeNewValues();
    }
}

void Tarn51AudioProcessor::takeMomentary()
{
    const float m = latestResults.momentary;
    readings.momentary = m;
    readings.momentaryPosition = (float)loudnessScale.positionOf ((double)m);

    setParameterAndNotifyHost (indices.momentaryOutput,
                               (float)juce::jlimit (0.0, 1.0, automationScale.positionOf ((double)m)));

    readings.integrated = roundToTenth (latestResults.integrated);
    readings.momentaryHits =
        loudnessModule.momentaryHistogram.countAtOrAbove (valueOf (indices.momentaryThreshold));
}

void Tarn51AudioProcessor::takeMomentaryMaximum()
{
    // The largest window of the slice's 10 ms steps, which include its gating blocks. Equal
    // values keep the time of the first.
    const float m = loudnessModule.sliceMaxMomentary.load (relaxed);

    if (m > readings.maxMomentary)
    {
        readings.maxMomentary = m;
        readings.maxMomentaryTime = positionInfo.timeInSeconds;
    }
}

void Tarn51AudioProcessor::takeShortTerm()
{
    const float s = latestResults.shortTerm;
    readings.shortTerm = s;

    // A slice may have produced several values; the largest counts for the maximum.
    const float largest = juce::jmax (s, loudnessModule.sliceMaxShortTerm.load (relaxed));

    if (largest > readings.maxShortTerm)
    {
        readings.maxShortTerm = largest;
        readings.maxShortTermTime = positionInfo.timeInSeconds;
    }

    readings.shortTermPosition = (float)loudnessScale.positionOf ((double)s);

    setParameterAndNotifyHost (indices.shortTermOutput,
                               (float)juce::jlimit (0.0, 1.0, automationScale.positionOf ((double)s)));

    readings.loudnessRange = roundToTenth (latestResults.loudnessRange);
    readings.rangeHighPosition = (float)loudnessScale.positionOf ((double)latestResults.rangeHigh);
    readings.rangeLowPosition = (float)loudnessScale.positionOf ((double)latestResults.rangeLow);
    readings.shortTermHits =
        loudnessModule.shortTermHistogram.countAtOrAbove (valueOf (indices.shortTermThreshold));
}

void Tarn51AudioProcessor::measureTruePeak (int numSamples)
{
    auto& work = truePeakDetector.buffer;

    if (work.getNumChannels() != numChannels || work.getNumSamples() < numSamples)
        truePeakDetector.prepare (numSamples);

    // Read where the block lies; channels no input feeds are cleared by the detector itself.
    truePeakDetector.process (remapBuffer.getArrayOfReadPointers(), numSamples);

    for (int c = 0; c < numChannels; ++c)
        updateChannelPeak (roundToTenth (truePeakDetector.blockPeak[c]), c);

    // The block maximum, with every channel raised to the bottom of the true-peak scale.
    const auto floorLevel = (float)truePeakScale.minimum;
    float largest = floorLevel;

    for (const float peak : truePeakDetector.blockPeak)
        largest = juce::jmax (largest, peak);

    const float t = roundToTenth (largest);

    if (t > valueOf (indices.truePeakMaxLevel))
        readings.truePeakOver = 1;

    if (t > readings.maxTruePeak && t > floorLevel)
    {
        readings.maxTruePeak = t;
        readings.maxTruePeakTime = positionInfo.timeInSeconds;
    }
}

void Tarn51AudioProcessor::updateChannelPeak (float level, int channel)
{
    if (channel < 0 || channel >= numChannels)
        return;

    // Strictly above: a peak exactly at the alarm level is no over.
    if (level > valueOf (indices.truePeakMaxLevel))
    {
        readings.channelOver[channel] = 1;
        readings.truePeakOver = 1;
    }

    if (level > readings.peakHold[channel])
        readings.peakHold[channel] = level;

    // The true-peak scale never changes, and a level (in 0.1 dB steps) mostly repeats from
    // one block to the next: silent channels always do.
    if (!(level == lastPeakLevel[channel]))
    {
        lastPeakLevel[channel] = level;
        lastPeakPosition[channel] = (float)truePeakScale.positionOf ((double)level);
    }

    readings.peakPosition[channel] = lastPeakPosition[channel];
}

void Tarn51AudioProcessor::rebuildOutput (juce::AudioSampleBuffer& buffer, int numSamples)
{
    const int channels = buffer.getNumChannels();

    if (channels < 1 || numSamples <= 0)
        return;

    outputBuffer.setSize (channels, numSamples, false, false, true);
    outputBuffer.clear();

    for (int i = 0; i < numChannels; ++i)
    {
        const int source = channelMap[i];
        const int destination = outputChannelMap[i];

        if (source >= 0 && source < channels && destination >= 0 && destination < channels)
            outputBuffer.copyFrom (destination, 0, buffer, source, 0, numSamples);
    }

    for (int c = 0; c < channels; ++c)
        buffer.copyFrom (c, 0, outputBuffer, c, 0, numSamples);
}

//==============================================================================
void Tarn51AudioProcessor::resetMeasurement()
{
    resetReadings();
    loudnessModule.resetMeasurement();
    loudnessHistory.requestReset();
}

void Tarn51AudioProcessor::resetReadings()
{
    readings = MeterReadings();
    readings.layout = getMeterLayout();
}

void Tarn51AudioProcessor::setParameterAndNotifyHost (int parameterIndex, float normalisedValue)
{
    // The processor keeps its parameters in its own table, which is what the legacy
    // parameter interface of juce::AudioProcessor serves.
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    setParameterNotifyingHost (parameterIndex, normalisedValue);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void Tarn51AudioProcessor::rankChannels (const int* entries, int count, RelaxedAtomic<int>* map, int mapSize)
{
    const auto entryOf = [entries, count] (int i) { return i < count && entries[i] >= 0 ? entries[i] : -1; };

    for (int i = 0; i < mapSize; ++i)
    {
        if (entryOf (i) < 0)
        {
            map[i] = -1;
            continue;
        }

        // The rank: how many distinct assigned device channels lie below this one.
        int rank = 0;

        for (int j = 0; j < count; ++j)
        {
            bool firstOfItsValue = true;

            for (int k = 0; k < j; ++k)
                if (entries[k] == entries[j])
                    firstOfItsValue = false;

            if (firstOfItsValue && entries[j] >= 0 && entries[j] < entries[i])
                ++rank;
        }

        map[i] = rank;
    }
}

void Tarn51AudioProcessor::applyInputLayout (const int* entries, int count)
{
    count = juce::jlimit (0, SpeakerLayout::maxChannels, count);

    for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
        inputLayoutSetting[i] = i < count ? entries[i] : -1;

    rankChannels (entries, count, channelMap, numChannels);
}

void Tarn51AudioProcessor::applyOutputLayout (const int* entries, int count)
{
    count = juce::jlimit (0, SpeakerLayout::maxChannels, count);

    for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
        outputLayoutSetting[i] = i < count ? entries[i] : -1;

    rankChannels (entries, count, outputChannelMap, SpeakerLayout::maxChannels);
}

juce::AudioPlayHead::FrameRateType Tarn51AudioProcessor::getHostFrameRate() const noexcept
{
    return static_cast<juce::AudioPlayHead::FrameRateType> (hostFrameRate.load());
}

//==============================================================================
void Tarn51AudioProcessor::setModuleOnThread (bool shouldBeOnThread)
{
    if (shouldBeOnThread == moduleOnThread)
        return;

    if (shouldBeOnThread)
        loudnessThread.addTimeSliceClient (&loudnessModule);
    else
        loudnessThread.removeTimeSliceClient (&loudnessModule); // waits for a running time slice

    moduleOnThread = shouldBeOnThread;
}

void Tarn51AudioProcessor::startEditorRefresh()
{
    if (auto* control = dynamic_cast<RefreshTimerControl*> (getActiveEditor()))
        control->startRefreshTimer (refreshIntervalMilliseconds);
}

void Tarn51AudioProcessor::stopEditorRefresh()
{
    if (auto* control = dynamic_cast<RefreshTimerControl*> (getActiveEditor()))
        control->stopRefreshTimer();
}

//==============================================================================
bool Tarn51AudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    // The configurations the plug-in announces: equal input and output counts of 1, 2, 5 or 6,
    // or, with more channels, an arrangement of the meter on the input.
    const int inputs = layouts.getMainInputChannels();

    if (inputs != layouts.getMainOutputChannels())
        return false;

    if (inputs == 1 || inputs == 2 || inputs == 5 || inputs == 6)
        return true;

    int layout = 0;
    int map[numMeterChannels];
    return inputs > 6 && arrangementOfBus (layouts.getMainInputChannelSet(), requestedLayout, layout, map);
}

const juce::String Tarn51AudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

const juce::String Tarn51AudioProcessor::getOutputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

bool Tarn51AudioProcessor::isInputChannelStereoPair (int) const
{
    return true;
}

bool Tarn51AudioProcessor::isOutputChannelStereoPair (int) const
{
    return true;
}

bool Tarn51AudioProcessor::silenceInProducesSilenceOut() const
{
    return false;
}

double Tarn51AudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool Tarn51AudioProcessor::acceptsMidi() const
{
    return false;
}

bool Tarn51AudioProcessor::producesMidi() const
{
    return false;
}

juce::AudioProcessorEditor* Tarn51AudioProcessor::createEditor()
{
    // Before the pages exist: their widgets take the face's measures when they are built.
    EditorTypeface::applyToDefaultLook();
    return new RiroruduLoudnessAudioProcessorEditor (*this);
}

bool Tarn51AudioProcessor::hasEditor() const
{
    return true;
}

//==============================================================================
int Tarn51AudioProcessor::getNumParameters()
{
    return parameters.getNumParameters();
}

const juce::String Tarn51AudioProcessor::getParameterName (int parameterIndex)
{
    return parameters.getParameterName (parameterIndex);
}

juce::String Tarn51AudioProcessor::getParameterID (int parameterIndex)
{
    if (juce::isPositiveAndBelow (parameterIndex, parameters.identifiers.size()))
        return parameters.identifiers[parameterIndex];

    return juce::String (parameterIndex);
}

float Tarn51AudioProcessor::getParameter (int parameterIndex)
{
    return parameters.getParameter (parameterIndex);
}

const juce::String Tarn51AudioProcessor::getParameterText (int parameterIndex)
{
    return parameters.getParameterText (parameterIndex);
}

int Tarn51AudioProcessor::getParameterNumSteps (int parameterIndex)
{
    return parameters.getParameterNumSteps (parameterIndex);
}

float Tarn51AudioProcessor::getParameterDefaultValue (int parameterIndex)
{
    return parameters.getParameterDefaultValue (parameterIndex);
}

void Tarn51AudioProcessor::setParameter (int parameterIndex, float newValue)
{
    // Limiting would turn infinity into an end of the range and NaN into anything at all.
    if (!std::isfinite (newValue))
        return;

    parameters.setParameter (parameterIndex, newValue);
}

bool Tarn51AudioProcessor::isParameterAutomatable (int parameterIndex) const
{
    return parameters.isParameterAutomatable (parameterIndex);
}

int Tarn51AudioProcessor::getNumPrograms()
{
    return parameters.getNumPrograms();
}

int Tarn51AudioProcessor::getCurrentProgram()
{
    return currentProgram;
}

void Tarn51AudioProcessor::setCurrentProgram (int programIndex)
{
    parameters.setCurrentProgram (programIndex, currentProgram);
}

const juce::String Tarn51AudioProcessor::getProgramName (int programIndex)
{
    return parameters.getProgramName (programIndex);
}

void Tarn51AudioProcessor::changeProgramName (int programIndex, const juce::String& newName)
{
    parameters.changeProgramName (programIndex, newName);
}

//==============================================================================
void Tarn51AudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    juce::XmlElement xml (stateTag);

    for (int i = 0; i < parameters.getNumParameters(); ++i)
        xml.setAttribute (parameters.identifiers[i],
                          StateBlock::formatValue ((double)parameters.getValue (i)));

    if (const int layout = getMeterLayout(); layout != SpeakerLayout::surround51)
        xml.setAttribute (meterLayoutAttribute, SpeakerLayout::get (layout).name);

    if (isStandalone())
    {
        // As many entries as the arrangement has channels: six for 5.1, as always.
        const auto count = SpeakerLayout::get (getMeterLayout()).numChannels;
        int entries[SpeakerLayout::maxChannels];
        copyEntries (inputLayoutSetting, entries);
        xml.setAttribute (inputLayoutAttribute, StateBlock::formatLayout (entries, count));
        copyEntries (outputLayoutSetting, entries);
        xml.setAttribute (outputLayoutAttribute, StateBlock::formatLayout (entries, count));
    }

    StateBlock::write (xml, destData);
}

void Tarn51AudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = StateBlock::read (data, sizeInBytes);

    if (xml == nullptr || !xml->getTagName().equalsIgnoreCase (stateTag) ||
        parameters.getNumParameters() == 0)
        return;

    // A missing attribute gives the default the table was built with, not the value held
    // before; so does a number that is not finite. Other values are kept as they are.
    for (int i = 0; i < parameters.getNumParameters(); ++i)
    {
        const auto& identifier = parameters.identifiers[i];
        const float fallback = parameters.defaults[(size_t)i];
        const float value = xml->hasAttribute (identifier)
                                ? StateBlock::parseValue (xml->getStringAttribute (identifier), fallback)
                                : fallback;
        parameters.setValue (i, value);
    }

    // Only now, with every value in place, so that the editor takes up a complete set.
    parameters.markAllChanged();

    // States without the attribute are 5.1 ones; a name the meter does not know reads as 5.1 too.
    SpeakerLayout::Named named{SpeakerLayout::surround51, 0};
    if (!SpeakerLayout::fromName (xml->getStringAttribute (meterLayoutAttribute).toStdString(), named))
        named.id = SpeakerLayout::surround51;
    setMeterLayout (named.id);

    if (isStandalone())
    {
        // Only the channels of the arrangement: the others have no row to show them and must
        // not take device channels.
        const auto count = SpeakerLayout::get (getMeterLayout()).numChannels;
        int entries[SpeakerLayout::maxChannels];
        StateBlock::parseLayout (xml->getStringAttribute (inputLayoutAttribute), entries,
                                 SpeakerLayout::maxChannels);
        applyInputLayout (entries, count);
        StateBlock::parseLayout (xml->getStringAttribute (outputLayoutAttribute), entries,
                                 SpeakerLayout::maxChannels);
        applyOutputLayout (entries, count);
    }
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new Tarn51AudioProcessor();
}
