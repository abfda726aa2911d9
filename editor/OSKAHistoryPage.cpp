#include "editor/OSKAHistoryPage.h"

#include "editor/EditorPalette.h"

#include <limits>

namespace
{
constexpr int bucketRoom = juce::jmax (LoudnessHistory::recentCapacity, LoudnessHistory::overviewCapacity);

} // namespace

OSKAHistoryPage::OSKAHistoryPage (const LoudnessHistory& h)
    : history (h), steps (new LoudnessHistory::Step[LoudnessHistory::recentCapacity]),
      buckets (new LoudnessHistory::Bucket[bucketRoom])
{
    setOpaque (true);
    series.buckets = buckets.get();

    title.setText ("History", juce::dontSendNotification);
    title.setFont (juce::Font (17.0f));
    title.setColour (juce::Label::textColourId, juce::Colours::white);
    title.setBorderSize ({1, 5, 1, 0});
    title.setInterceptsMouseClicks (false, false);
    title.setBounds (13, 17, 90, 60);
    addAndMakeVisible (title);

    spanBox.addItem ("30 s", seconds30);
    spanBox.addItem ("1 min", minutes1);
    spanBox.addItem ("3 min", minutes3);
    spanBox.addItem ("10 min", minutes10);
    spanBox.addItem ("Whole programme", wholeProgramme);
    spanBox.setSelectedId (minutes3, juce::dontSendNotification);
    spanBox.setColour (juce::ComboBox::backgroundColourId, EditorPalette::lightGrey);
    spanBox.setColour (juce::ComboBox::outlineColourId, EditorPalette::midGrey);
    spanBox.setColour (juce::ComboBox::buttonColourId, EditorPalette::midGrey);
    spanBox.setColour (juce::ComboBox::arrowColourId, juce::Colours::black);
    spanBox.setLookAndFeel (&boxLook);
    spanBox.setBounds (188, 41, 120, 13);
    spanBox.addListener (this);
    addAndMakeVisible (spanBox);
}

OSKAHistoryPage::~OSKAHistoryPage()
{
    spanBox.removeListener (this);
    spanBox.setLookAndFeel (nullptr);
}

void OSKAHistoryPage::setDisplay (int scaleType, float truePeakLimit,
                                  juce::AudioPlayHead::FrameRateType frameRate)
{
    if (scaleType == settings.scaleType && truePeakLimit == settings.truePeakLimit &&
        frameRate == settings.frameRate)
        return;

    settings.scaleType = scaleType;
    settings.truePeakLimit = truePeakLimit;
    settings.frameRate = frameRate;
    repaint();
}

bool OSKAHistoryPage::refresh()
{
    const auto change = history.getChangeCount();

    if (copied && change == lastChange)
        return false;

    lastChange = change;
    copyHistory();
    repaint();
    return true;
}

void OSKAHistoryPage::setSpan (Span span)
{
    spanBox.setSelectedId (span, juce::sendNotificationSync);
}

OSKAHistoryPage::Span OSKAHistoryPage::getSpan() const noexcept
{
    const auto id = spanBox.getSelectedId();
    return id >= seconds30 && id <= wholeProgramme ? (Span)id : minutes3;
}

double OSKAHistoryPage::secondsOf (Span span) noexcept
{
    switch (span)
    {
    case seconds30:
        return 30.0;
    case minutes1:
        return 60.0;
    case minutes3:
        return 180.0;
    case minutes10:
        return 600.0;
    case wholeProgramme:
    default:
        return 0.0;
    }
}

void OSKAHistoryPage::comboBoxChanged (juce::ComboBox*)
{
    copyHistory();
    repaint();
}

void OSKAHistoryPage::copyHistory()
{
    copied = true;
    const auto span = getSpan();

    if (span == wholeProgramme)
    {
        const auto shape = history.copyOverview (buckets.get());
        series.numBuckets = shape.numBuckets;
        series.firstStep = 0;
        series.stepsPerBucket = shape.stepsPerBucket;
        series.axisStart = 0.0;
        // At least the shortest span, so that the first seconds do not fill the page.
        series.axisEnd = juce::jmax (secondsOf (seconds30), LoudnessHistory::startOfStep (shape.numSteps));
        return;
    }

    const auto seconds = secondsOf (span);
    const auto spanSteps = juce::roundToInt (seconds / LoudnessHistory::stepSeconds);
    const auto numSteps = history.getNumSteps();
    int count = 0;
    const auto first = history.copyRecent (juce::jmax ((std::int64_t)0, numSteps - spanSteps), steps.get(),
                                           juce::jmin (spanSteps, LoudnessHistory::recentCapacity), count);

    for (int i = 0; i < count; ++i)
    {
        const auto& s = steps[i];
        buckets[i] = {s.momentary, s.momentary, s.shortTerm, s.shortTerm, s.integrated, s.truePeak};
    }

    series.numBuckets = count;
    series.firstStep = first;
    series.stepsPerBucket = 1;
    series.axisStart = juce::jmax (0.0, LoudnessHistory::startOfStep (first + count) - seconds);
    series.axisEnd = series.axisStart + seconds;
}

void OSKAHistoryPage::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
    OSKAHistoryPlot::draw (g, plotBounds(), series, settings);

    OSKAHistoryPlot::drawLegend (g, (float)(plotBounds().getX() + OSKAHistoryPlot::levelAxisWidth),
                                 (float)plotBounds().getBottom() + 12.0f, 11.0f);
}
