#include "FuzzHarness.h"

#include "processor/Tarn51AudioProcessor.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

namespace
{
constexpr int numChannels = 6;
constexpr int numParameters = 15;
const double rates[] = {44100.0, 48000.0, 88200.0, 96000.0, 32000.0, 192000.0};
constexpr int numRates = static_cast<int> (std::size (rates));
constexpr int maximumBlock = 4096;

// Takes the input apart from the front; an exhausted input gives zeros.
class Reader
{
public:
    Reader (const std::uint8_t* d, std::size_t s) : data (d), size (s) {}

    std::uint8_t byte() { return position < size ? data[position++] : 0; }

    std::uint32_t word()
    {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
            w |= static_cast<std::uint32_t> (byte()) << (8 * i);
        return w;
    }

    float rawFloat()
    {
        const auto w = word();
        float f;
        std::memcpy (&f, &w, sizeof (f));
        return f;
    }

    std::size_t remaining() const { return size - position; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// One processor per sample rate, kept between inputs: building the windows for a rate
// allocates several megabytes, too slow to repeat for every input.
struct Processors
{
    std::array<std::unique_ptr<Tarn51AudioProcessor>, numRates> byRate;
    std::array<bool, numRates> offline{};
    juce::MemoryBlock defaultState;

    Tarn51AudioProcessor& get (int rateIndex, bool shouldBeOffline)
    {
        auto& p = byRate[static_cast<size_t> (rateIndex)];
        if (p == nullptr)
        {
            p = std::make_unique<Tarn51AudioProcessor>();
            if (defaultState.isEmpty())
                p->getStateInformation (defaultState);
            p->setNonRealtime (shouldBeOffline);
            p->prepareToPlay (rates[rateIndex], maximumBlock);
            offline[static_cast<size_t> (rateIndex)] = shouldBeOffline;
        }
        else if (offline[static_cast<size_t> (rateIndex)] != shouldBeOffline)
        {
            p->releaseResources();
            p->setNonRealtime (shouldBeOffline);
            p->prepareToPlay (rates[rateIndex], maximumBlock);
            offline[static_cast<size_t> (rateIndex)] = shouldBeOffline;
        }
        return *p;
    }

    // Back to the default settings and an empty measurement.
    void restart (Tarn51AudioProcessor& p)
    {
        p.setStateInformation (defaultState.getData(), static_cast<int> (defaultState.getSize()));
        p.resetMeasurement();
    }
};

Processors& processors()
{
    static Processors instance;
    return instance;
}

std::string checkReadings (const Tarn51AudioProcessor& p)
{
    const auto& r = p.readings;
    const std::pair<const char*, float> levels[] = {
        {"momentary", r.momentary},       {"shortTerm", r.shortTerm},
        {"integrated", r.integrated},     {"loudnessRange", r.loudnessRange},
        {"maxMomentary", r.maxMomentary}, {"maxShortTerm", r.maxShortTerm},
        {"maxTruePeak", r.maxTruePeak}};
    for (const auto& [name, x] : levels)
        if (!std::isfinite (x))
            return std::string (name) + " is not finite: " + std::to_string (x);
    for (int c = 0; c < numChannels; ++c)
    {
        if (!std::isfinite (r.peakHold[c].load()))
            return "peak hold of channel " + std::to_string (c) + " is not finite";
        if (std::isnan (r.peakPosition[c].load()))
            return "peak position of channel " + std::to_string (c) + " is NaN";
    }
    for (float x : {r.momentaryPosition.load(), r.shortTermPosition.load(), r.rangeLowPosition.load(),
                    r.rangeHighPosition.load()})
        if (std::isnan (x))
            return "a meter position is NaN";
    if (!std::isfinite (r.measuredSamples.load()) || r.momentaryHits < 0 || r.shortTermHits < 0)
        return "time or hit counts out of range";
    for (int i = 0; i < numParameters; ++i)
    {
        const float v = const_cast<Tarn51AudioProcessor&> (p).getParameter (i);
        if (!(v >= 0.0f && v <= 1.0f))
            return "parameter " + std::to_string (i) + " normalised to " + std::to_string (v);
    }
    return {};
}

// Processes the buffer in blocks of the given lengths; false if any sample came back changed.
bool processUnchanged (Tarn51AudioProcessor& p, const juce::AudioSampleBuffer& signal, int firstBlock,
                       int secondBlock)
{
    juce::AudioSampleBuffer block (numChannels, maximumBlock);
    juce::MidiBuffer midi;
    bool useFirst = true;
    for (int position = 0; position < signal.getNumSamples();)
    {
        const int n = std::min (useFirst ? firstBlock : secondBlock, signal.getNumSamples() - position);
        useFirst = !useFirst;
        block.setSize (numChannels, n, false, false, true);
        for (int c = 0; c < numChannels; ++c)
            std::memcpy (block.getWritePointer (c), signal.getReadPointer (c, position),
                         sizeof (float) * (size_t)n);
        p.processBlock (block, midi);
        for (int c = 0; c < numChannels; ++c)
            if (std::memcmp (block.getReadPointer (c), signal.getReadPointer (c, position),
                             sizeof (float) * (size_t)n) != 0)
                return false;
        position += n;
    }
    return true;
}

juce::AudioSampleBuffer silence (int numSamples)
{
    juce::AudioSampleBuffer buffer (numChannels, numSamples);
    buffer.clear();
    return buffer;
}
} // namespace

namespace FuzzHarness
{
std::string feedState (const std::uint8_t* data, std::size_t size)
{
    auto& all = processors();
    auto& p = all.get (1, true);
    all.restart (p);

    juce::MemoryBlock before;
    p.getStateInformation (before);
    p.setStateInformation (data, static_cast<int> (size));
    juce::MemoryBlock after;
    p.getStateInformation (after);

    // Too short or without the magic number: nothing may change.
    const bool hasMagic =
        size > 8 && data[0] == 0x56 && data[1] == 0x43 && data[2] == 0x32 && data[3] == 0x21;
    if (!hasMagic && after != before)
        return "a block without the state header changed the settings";

    // Whatever was loaded saves as a well-formed state again.
    const auto* bytes = static_cast<const std::uint8_t*> (after.getData());
    if (after.getSize() < 9 || bytes[0] != 0x56 || bytes[3] != 0x21 || bytes[after.getSize() - 1] != 0)
        return "the saved state lost its envelope";
    std::uint32_t length = 0;
    std::memcpy (&length, bytes + 4, sizeof (length));
    if (length != after.getSize() - 9)
        return "the saved state's length field is wrong";
    const auto xml =
        juce::AudioProcessor::getXmlFromBinary (after.getData(), static_cast<int> (after.getSize()));
    if (xml == nullptr || !xml->hasTagName ("MYPLUGINSETTINGS") || xml->getNumAttributes() < numParameters)
        return "the saved state does not parse";

    // The loaded values drive the audio path: it must still pass audio and measure sanely.
    p.manualRun = 1;
    // Just over one momentary window at 48 kHz, so that the loaded thresholds and scales are
    // used on a new value.
    juce::AudioSampleBuffer tone (numChannels, 20000);
    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < tone.getNumSamples(); ++i)
            tone.setSample (c, i, 0.5f * std::sin (0.03f * static_cast<float> (i * (c + 1))));
    if (!processUnchanged (p, tone, 4096, 1000))
        return "audio changed after loading the state";
    for (int i = 0; i < numParameters; ++i)
        (void)p.getParameterText (i);
    return checkReadings (p);
}

std::string feedAudio (const std::uint8_t* data, std::size_t size)
{
    Reader in (data, size);
    const int rateIndex = in.byte() % numRates;
    const auto flags = in.byte();
    const bool offline = (flags & 3) != 0;
    auto& all = processors();
    auto& p = all.get (rateIndex, offline);
    all.restart (p);
    p.manualRun = (flags & 4) != 0 ? 0 : 1;

    const int low = in.byte();
    const int high = in.byte() & 0x0f;
    const int firstBlock = 1 + (low | high << 8) % maximumBlock;
    const int secondBlock = 1 + in.byte() * 16 % maximumBlock;

    // Parameter changes from the host: any float, out-of-range indices included.
    const int numChanges = in.byte() % 16;
    for (int i = 0; i < numChanges; ++i)
    {
        const int index = in.byte() % (numParameters + 1);
        p.setParameter (index, in.rawFloat());
    }

    juce::AudioSampleBuffer signal;
    if ((flags & 8) != 0)
    {
        // Full-scale noise, long enough for momentary and short-term values.
        const auto seed = in.word();
        const int numSamples =
            1 + static_cast<int> (in.word() % static_cast<std::uint32_t> (rates[rateIndex] * 1.5));
        signal.setSize (numChannels, numSamples);
        std::mt19937 random (seed);
        std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < numSamples; ++i)
                signal.setSample (c, i, noise (random));
    }
    else
    {
        // The remaining bytes as float bits, six channels interleaved, followed by silence so
        // that the values pass through a whole momentary window.
        const int numSamples = static_cast<int> (in.remaining() / (4 * numChannels));
        const int tail = numSamples > 0 ? static_cast<int> (rates[rateIndex] * 0.42) : 0;
        signal = silence (numSamples + tail);
        for (int i = 0; i < numSamples; ++i)
            for (int c = 0; c < numChannels; ++c)
                signal.setSample (c, i, in.rawFloat());
    }

    if (!processUnchanged (p, signal, firstBlock, secondBlock))
        return "audio changed";
    return checkReadings (p);
}

void shutdown()
{
    for (auto& p : processors().byRate)
    {
        if (p != nullptr)
            p->releaseResources();
        p.reset();
    }
}
} // namespace FuzzHarness
