#pragma once

#include "editor/OSKAHistoryPlot.h"
#include "engine/LoudnessHistory.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The editor's History page: loudness over the last 30 s, 1, 3 or 10 minutes or the whole
// programme, drawn by OSKAHistoryPlot from the processor's loudness history.
//
// Message thread only. The editor calls refresh on its timer while the page is shown; the page
// copies the history and repaints only when it changed (a new step or a reset), or when the
// span or the display settings changed. Its copies are sized once, at construction.
class OSKAHistoryPage : public juce::Component, private juce::ComboBox::Listener
{
public:
    enum Span
    {
        seconds30 = 1,
        minutes1,
        minutes3,
        minutes10,
        wholeProgramme
    };

    explicit OSKAHistoryPage (const LoudnessHistory& history);
    ~OSKAHistoryPage() override;

    // The scale type of the meter (MeterScale 0..7), the true-peak alarm level (dBTP) and the
    // host's frame rate for the time labels; repaints when any of them changed.
    void setDisplay (int scaleType, float truePeakLimit, juce::AudioPlayHead::FrameRateType frameRate);

    // Takes new steps from the history; true when the page repainted.
    bool refresh();

    void setSpan (Span span);
    Span getSpan() const noexcept;
    static double secondsOf (Span span) noexcept;

    // The area of the curves and their axes, in page coordinates.
    static juce::Rectangle<int> plotBounds() noexcept { return {12, 72, 296, 356}; }

    // What the page shows at the moment.
    const OSKAHistoryPlot::Series& getSeries() const noexcept { return series; }
    const OSKAHistoryPlot::Settings& getSettings() const noexcept { return settings; }

    void paint (juce::Graphics& g) override;

private:
    void comboBoxChanged (juce::ComboBox* box) override;
    void copyHistory();

    const LoudnessHistory& history;
    OSKAHistoryPlot::Settings settings;
    OSKAHistoryPlot::Series series;
    std::uint64_t lastChange = 0;
    bool copied = false;

    std::unique_ptr<LoudnessHistory::Step[]> steps;
    std::unique_ptr<LoudnessHistory::Bucket[]> buckets;

    juce::LookAndFeel_V2 boxLook;
    juce::Label title;
    juce::ComboBox spanBox;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKAHistoryPage)
};
