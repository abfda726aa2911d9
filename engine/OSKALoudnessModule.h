#pragma once

#include "engine/LoudnessHistogram.h"
#include "engine/LoudnessHistory.h"
#include "engine/LoudnessResults.h"
#include "engine/OverlapFifo.h"
#include "engine/SpeakerLayout.h"
#include "engine/TruePeakSteps.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <memory>

// The whole loudness measurement: K-weighting of the meter channels (up to twelve, in the
// order of a SpeakerLayout; 5.1 by default: L, R, C, LFE, Ls, Rs), the two window queues, block loudness, the
// histograms and the latest results.
//
// Threads:
// - audio thread: fills inputBuffer and calls feed(), which K-weights it in place and
//   queues it; reads the results, the new-value flags and the histograms' hit counts;
//   sets measuring (emptying the queues and filters on a change, see setMeasuring) and
//   the gated flags.
// - loudness thread: useTimeSlice() -> computeBlocks() turns every window that is ready (up
//   to a bound per slice) into new values and updates the statistics.
//
// Both kinds of value come every 100 ms (the momentary hop): the momentary ones are the
// gating blocks, the short-term ones feed the loudness range. Between two gating blocks the
// momentary queue steps on in tenths of the hop, so that the largest momentary loudness is
// found on a grid of 10 ms, where a 0.4 s burst cannot fall between two windows.
// - message thread: updateFilterCoefficients() and allocateWindows() on a rate change
//   (never while a time slice runs), resetMeasurement(), copyTo() of a histogram.
// Values shared without a lock are relaxed atomics; readers accept a mixture of the old
// and the new state for one refresh. feed(), the time slice and the histogram updates
// allocate nothing.
class OSKALoudnessModule : public juce::TimeSliceClient
{
public:
    static constexpr int numChannels = SpeakerLayout::maxChannels;
    static constexpr int timeSliceInterval = 50; // ms between two time slices
    static constexpr float momentaryOverlap = 0.75f;
    static constexpr float shortTermOverlap = 0.8f;
    static constexpr int windowsPerQueue = 4;
    // Steps of the momentary maxima per momentary hop: 10 ms at every rate.
    static constexpr int stepsPerHop = 10;
    // Windows one time slice takes at most; real time brings 5 momentary steps and one short-
    // term window per 50 ms slice, so a slice that comes late catches up within a few slices.
    static constexpr int maxMomentaryStepsPerSlice = 20 * stepsPerHop;
    static constexpr int maxShortTermWindowsPerSlice = 20;
    // The rates the meter is made for; the filters follow any rate from minimumRate up.
    static constexpr int minimumRate = 8000;
    static constexpr int maximumRate = 384000;

    // The six shared results, written on the loudness thread and by resetMeasurement().
    struct SharedResults
    {
        std::atomic<float> momentary{LoudnessHistogram::floorLevel};
        std::atomic<float> shortTerm{LoudnessHistogram::floorLevel};
        std::atomic<float> integrated{LoudnessHistogram::floorLevel};
        std::atomic<float> loudnessRange{LoudnessHistogram::floorLevel};
        std::atomic<float> rangeLow{LoudnessHistogram::floorLevel};
        std::atomic<float> rangeHigh{LoudnessHistogram::floorLevel};
    };

    OSKALoudnessModule();
    ~OSKALoudnessModule() override = default;

    // Loads the K-weighting coefficients for sampleRate into all twelve filters without
    // clearing their state. Six common rates take coefficients from a table; every other rate
    // gets the same analogue design transformed for it. Rates below minimumRate get the
    // filters of minimumRate (the command-line meter refuses them).
    void updateFilterCoefficients() noexcept;

    // Derives the window lengths from sampleRate and replaces both queues and both window
    // buffers (queued audio is lost). Allocates; must not overlap a time slice.
    void allocateWindows();

    // K-weights inputBuffer in place (first six channels) and appends it to both queues.
    // Audio thread; a queue that is full drops what does not fit.
    void feed() noexcept;

    // The same for samples [startSample, startSample + inputBuffer's length) of source's
    // channels instead of inputBuffer's own (source nullptr: inputBuffer); the weighted
    // samples still end up in inputBuffer, which must have that length.
    void feedFrom (const juce::AudioSampleBuffer* source, int startSample) noexcept;

    // Sets the state values of all twelve filters to 0.
    void resetFilters() noexcept;

    // Which meter channels carry audio, one bit each (bit 0 L ... bit 5 Rs in 5.1). feed() weights and
    // queues only these and the others count as silence, so the readings are those of all six
    // with the rest silent, at the cost of the ones present. Set when preparing. A change that
    // adds channels clears their filters and empties both queues (as a change of measuring does),
    // so nothing they held before reaches a window. Audio thread, or while no audio runs.
    void setActiveChannelMask (juce::uint32 mask) noexcept;
    // The same for the first `count` channels (mono 1, stereo 2, L R C 3, 5.1 6, 7.1.4 12).
    void setActiveChannels (int count) noexcept;
    juce::uint32 getActiveChannelMask() const noexcept { return activeMask; }
    // How many channels carry audio.
    int getActiveChannels() const noexcept { return numActive; }

    // Evaluates the windows that are ready (at most maxMomentaryStepsPerSlice momentary steps
    // and maxShortTermWindowsPerSlice short-term windows) and updates results, flags, the
    // maxima of the slice and (while measuring) histograms. Cheap when nothing is ready, so
    // it may be called back to back, e.g. by offline rendering on the audio thread while the
    // module is not a client of the loudness thread.
    void computeBlocks() noexcept;

    // Whether a window of either kind is waiting to be evaluated.
    bool windowReady() const noexcept;

    // Loudness in LUFS of the first `length` samples of window: the weighted sum of the
    // channels' mean squares, clamped to -70..0 and rounded to 0.1.
    float blockLoudness (const juce::AudioSampleBuffer& window, int length) const noexcept;

    // The same loudness from each channel's sum of squares over `length` samples.
    float loudnessFromSums (const double* sums, int length) const noexcept;

    // The time slice of the loudness thread: computeBlocks(), then call again in 50 ms.
    int useTimeSlice() override;

    // Starts or stops the accumulation. A change in either direction empties both queues
    // and clears the filters, so the next values are computed from audio of the new
    // state only; the statistics are kept. Audio thread.
    void setMeasuring (int newState) noexcept;

    // The engine's part of a full reset: both queues emptied, filters cleared (at the next feed), both
    // histograms cleared, all six results back to -70. measuring, the new-value flags and
    // the gating flags stay as they are. Message thread.
    void resetMeasurement() noexcept;

    // While measuring, every gating block becomes a step of history: its momentary loudness,
    // the short-term loudness of the 3 s ending with it, the integrated loudness and the
    // step's true peak from stepPeaks, which the audio thread fills from the same audio. The
    // steps before the first full window after the queues were emptied come without loudness.
    // Set before the module joins the loudness thread; null records nothing.
    void recordHistory (LoudnessHistory* history, const TruePeakSteps* stepPeaks) noexcept;

    // A plain copy of the six shared results (the loudness thread may be writing them).
    LoudnessResults getResults() const noexcept;

    // Sets all six shared results to -70.
    void resetResults() noexcept;

    // Weight of each meter channel in the block loudness sum.
    float getChannelWeight (int channel) const noexcept
    {
        return channelWeights[channel].load (relaxedOrder);
    }

    // The arrangement of the channels (a SpeakerLayout id; out of range: 5.1): each channel's
    // weight from its position, 0 for the LFE and for channels the arrangement lacks. A change
    // empties both queues and clears the filters, as a change of measuring does, so that no
    // window mixes two arrangements; the statistics are kept. Audio thread, or while no audio
    // runs; the loudness thread reads the weights as relaxed atomics.
    void setLayout (int layoutId) noexcept;
    int getLayout() const noexcept { return layout; }

    // One K-weighting stage of one channel as the kernels with fused multiply-add run it:
    // direct form I, its coefficients and the last two inputs and outputs.
    struct FusedStage
    {
        float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
        float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;

        // Stores the history, with values too small to matter set to 0 (as juce::IIRFilter
        // does with its state), so that silence does not run on in denormal numbers.
        void setState (float newX1, float newX2, float newY1, float newY2) noexcept;
    };

    // Rate the filters and windows were built for; set before updateFilterCoefficients().
    double sampleRate = 0.0;
    // Samples per window: 400 ms and 3 s, worked out in single precision.
    int momentaryLength = 0;
    int shortTermLength = 0;
    // Samples between two values of either kind: a quarter of the momentary window (100 ms).
    int momentaryHop = 0;

    // Window queues, four windows each; none until allocateWindows().
    std::unique_ptr<OverlapFifo> momentaryFifo;
    std::unique_ptr<OverlapFifo> shortTermFifo;

    LoudnessHistogram momentaryHistogram;
    LoudnessHistogram shortTermHistogram;

    // The block handed over by the processor, six channels; filtered in place by feed().
    juce::AudioSampleBuffer inputBuffer;

    SharedResults results;
    // 1 while the statistics accumulate; see setMeasuring().
    std::atomic<int> measuring{0};
    // Raised by a time slice that produced a new value of that kind, lowered by the next.
    std::atomic<bool> newMomentary{false};
    std::atomic<bool> newShortTerm{false};
    // Raised by a time slice that evaluated any momentary step (on the 10 ms grid), with the
    // largest of them in sliceMaxMomentary; sliceMaxShortTerm is the largest short-term value
    // of a slice that raised newShortTerm. A slice may produce several values of a kind while
    // the processor sees only the last one in results.
    std::atomic<bool> newMomentaryStep{false};
    std::atomic<float> sliceMaxMomentary{LoudnessHistogram::floorLevel};
    std::atomic<float> sliceMaxShortTerm{LoudnessHistogram::floorLevel};
    // Counts the times both queues were emptied, so that whoever counts 100 ms steps of the
    // queued audio (the time slice, the audio thread's TruePeakSteps) starts again.
    std::atomic<std::uint32_t> queueResets{0};
    // Raised by resetMeasurement(); the audio thread clears the filters at its next feed. A lock
    // shared with the audio thread could keep a spinning audio thread from the thread that holds it.
    std::atomic<bool> filterResetRequested{false};

private:
    // The short-term window, if one is ready: its value, the slice's largest and the
    // statistics; NaN when none was ready.
    float evaluateShortTerm (bool isMeasuring, float& largest, bool& counted) noexcept;

    // Records the gating block just evaluated as a step of the history.
    void recordStep (float momentary, float shortTerm, float integrated) noexcept;

    void emptyQueues() noexcept;

    // Sets both stages of channel c to silence, in both forms, under the filters' locks.
    void clearFilterState (int c) noexcept;

    // Takes the oldest window of `length` samples from the queue, consumes `hop` samples and
    // gives the window's loudness.
    float evaluateWindow (OverlapFifo& fifo, int length, int hop) const noexcept;

    // Samples from a read position (phase within the hop) to the next 10 ms step.
    int stepLengthAt (int phase) const noexcept;

    static constexpr auto relaxedOrder = std::memory_order_relaxed;
    static constexpr int channelsOf51 = 6;

    std::atomic<float> channelWeights[numChannels]{1.0f, 1.0f, 1.0f, 0.0f, 1.41f, 1.41f};
    int layout = SpeakerLayout::surround51;
    // Until told otherwise, the six channels of 5.1.
    juce::uint32 activeMask = (1u << channelsOf51) - 1;
    // The channels of activeMask in ascending order, numActive of them.
    int activeList[numChannels] = {0, 1, 2, 3, 4, 5};
    int numActive = channelsOf51;

    // The two K-weighting stages of each channel; their state carries over between blocks.
    juce::IIRFilter preFilters[numChannels];
    juce::IIRFilter rlbFilters[numChannels];
    // The same two stages for the kernels with fused multiply-add, which the module uses instead
    // where the processor has it (fused is then set by updateFilterCoefficients).
    FusedStage fusedPre[numChannels];
    FusedStage fusedRlb[numChannels];
    bool fused = false;

    // Six channels of one window length each, for a window copied out with readWindow. The
    // time slice sums its windows where they lie in the queues (readWindowPower), which
    // gives the same values without moving every sample several times.
    std::unique_ptr<juce::AudioSampleBuffer> momentaryBlock;
    std::unique_ptr<juce::AudioSampleBuffer> shortTermBlock;

    // The history and its peaks, and the loudness thread's count of gating blocks since the
    // queues were last emptied (queueResets as it was then).
    LoudnessHistory* history = nullptr;
    const TruePeakSteps* stepPeaks = nullptr;
    std::int64_t gatingBlocks = 0;
    std::uint32_t countedResets = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKALoudnessModule)
};
