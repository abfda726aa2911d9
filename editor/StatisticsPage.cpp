#include "editor/StatisticsPage.h"

#include "editor/EditorPalette.h"
#include "report/LoudnessReport.h"
#include "report/ReadoutText.h"

namespace
{
// One row of readings: its labels, its top and the width of its caption.
struct Row
{
    juce::Label *caption, *unit, *value, *position;
    int y, captionWidth;
};
} // namespace

StatisticsPage::StatisticsPage (PageActions& a, const juce::String& name) : actions (a), productName (name)
{
    const auto centred = juce::Justification::centred;
    WidgetStyle::label (title, *this, "Statistics", 13, 17, 90, 60, 17.0f);
    WidgetStyle::label (valuesHeader, *this, "Values", 155, 60, 100, 20, 13.0f);
    WidgetStyle::label (positionHeader, *this, "Position", 213, 60, 90, 20, 13.0f, centred);

    const Row rows[] = {
        {&integratedRowCaption, &integratedUnit, &integratedValue, nullptr, 70, 400},
        {&rangeRowCaption, &rangeUnit, &rangeValue, nullptr, 100, 130},
        {&maxShortTermCaption, &maxShortTermUnit, &maxShortTermValue, &maxShortTermPosition, 130, 220},
        {&maxMomentaryCaption, &maxMomentaryUnit, &maxMomentaryValue, &maxMomentaryPosition, 160, 220},
        {&maxTruePeakCaption, &maxTruePeakUnit, &maxTruePeakValue, &maxTruePeakPosition, 190, 180}};
    const char* const captions[] = {"Program Loudness:", "Loudness Range:", "Max. S.T. Loudness:",
                                    "Max. Mom. Loudness:", "Max. True Peak:"};
    const char* const units[] = {"LUFS", "LU", "LUFS", "LUFS", "dBTP"};

    for (size_t i = 0; i < std::size (rows); ++i)
    {
        const auto& row = rows[i];
        WidgetStyle::label (*row.caption, *this, captions[i], 12, row.y, row.captionWidth, 60, 13.0f);
        WidgetStyle::label (*row.unit, *this, units[i], 178, row.y, 130, 60, 13.0f);

        // Each value sits immediately left of its unit, as wide as its text. No side margins: the
        // value's trailing blank and the unit's own margin keep the two apart, and the value keeps
        // clear of the long row captions.
        WidgetStyle::label (*row.value, *this, {}, 0, 0, 0, 0, 13.0f);
        row.value->setBorderSize ({1, 0, 1, 0});
        row.value->attachToComponent (row.unit, true);

        if (row.position != nullptr)
            WidgetStyle::label (*row.position, *this, {}, 213, row.y, 90, 60, 13.0f, centred);
    }

    WidgetStyle::label (hitsTitle, *this, "Number of hits over threshold", 12, 250, 200, 60, 15.0f);
    WidgetStyle::label (momentaryHitsCaption, *this, "Mom. Loudness: ", 12, 280, 200, 60, 13.0f);
    WidgetStyle::label (momentaryHits, *this, "0", 160, 280, 200, 60, 13.0f);
    WidgetStyle::label (shortTermHitsCaption, *this, "S.T. Loudness: ", 12, 310, 200, 60, 13.0f);
    WidgetStyle::label (shortTermHits, *this, "0", 160, 310, 200, 60, 13.0f);

    WidgetStyle::buttonImages (saveReportButton, {imageSave, {}, imageSavePushed});
    saveReportButton.addListener (this);
    addAndMakeVisible (saveReportButton);
}

StatisticsPage::~StatisticsPage()
{
    saveReportButton.removeListener (this);
}

void StatisticsPage::paint (juce::Graphics& g)
{
    g.setOpacity (1.0f);
    g.drawImage (background, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
}

void StatisticsPage::resized()
{
    saveReportButton.setBounds (17, 365, 80, 20);
}

void StatisticsPage::update (const PageSnapshot& s)
{
    const auto& r = s.readings;
    const auto none = juce::dontSendNotification;
    momentaryThreshold = s.controls.momentaryThreshold;
    shortTermThreshold = s.controls.shortTermThreshold;

    const auto& i = s.indices;
    const auto standard = s.controls.ebu ? 1 : 0;

    if ((s.changed (i.standard) || s.changed (i.scale) || s.changed (i.unit) ||
         s.changed (i.referenceLevel)) &&
        standard != lastStandard)
    {
        lastStandard = standard;
        const auto unit = s.controls.ebu ? "LUFS" : "LKFS";

        for (auto* label : {&integratedUnit, &maxShortTermUnit, &maxMomentaryUnit})
            label->setText (unit, none);
    }

    momentaryHits.setText (juce::String ((int)r.momentaryHits), none);
    shortTermHits.setText (juce::String ((int)r.shortTermHits), none);

    integratedValue.setText (ReadoutText::value (r.integrated, {}), none);
    rangeValue.setText (ReadoutText::value (r.loudnessRange, {}), none);

    // The range is dimmed until a minute has been measured: it is still settling.
    const auto stable = MeterReadings::isRangeStable (r.measuredSamples, s.sampleRate);
    rangeValue.setColour (juce::Label::textColourId, stable ? EditorPalette::white : EditorPalette::midGrey);

    maxShortTermValue.setText (ReadoutText::value (r.maxShortTerm, {}), none);
    maxMomentaryValue.setText (ReadoutText::value (r.maxMomentary, {}), none);
    maxTruePeakValue.setText (ReadoutText::value (r.maxTruePeak, {}), none);
    maxMomentaryPosition.setText (ReadoutText::position (r.maxMomentaryTime, s.frameRate), none);
    maxShortTermPosition.setText (ReadoutText::position (r.maxShortTermTime, s.frameRate), none);
    maxTruePeakPosition.setText (ReadoutText::position (r.maxTruePeakTime, s.frameRate), none);
}

void StatisticsPage::buttonClicked (juce::Button*)
{
    actions.saveReport();
}

juce::Result StatisticsPage::writeReportTo (const juce::File& file)
{
    const auto result = LoudnessReport::writeFile (file, reportText (juce::Time::getCurrentTime()));

    // Said out loud: a user who believes the report was saved would otherwise lose it.
    if (result.failed())
        actions.showFailure ("Report not saved", "The loudness report could not be saved as\n" +
                                                     file.getFullPathName() + "\n\n" +
                                                     result.getErrorMessage());

    return result;
}

juce::String StatisticsPage::reportText (const juce::Time& when) const
{
    LoudnessReport::Statistics s;
    s.integratedValue = integratedValue.getText();
    s.integratedUnit = integratedUnit.getText();
    s.rangeValue = rangeValue.getText();
    s.rangeUnit = rangeUnit.getText();
    s.maxShortTermValue = maxShortTermValue.getText();
    s.maxShortTermUnit = maxShortTermUnit.getText();
    s.maxShortTermPosition = maxShortTermPosition.getText();
    s.maxMomentaryValue = maxMomentaryValue.getText();
    s.maxMomentaryUnit = maxMomentaryUnit.getText();
    s.maxMomentaryPosition = maxMomentaryPosition.getText();
    s.maxTruePeakValue = maxTruePeakValue.getText();
    s.maxTruePeakUnit = maxTruePeakUnit.getText();
    s.maxTruePeakPosition = maxTruePeakPosition.getText();
    s.momentaryThreshold = (float)momentaryThreshold;
    s.shortTermThreshold = (float)shortTermThreshold;
    s.momentaryHits = momentaryHits.getText();
    s.shortTermHits = shortTermHits.getText();
    return LoudnessReport::text (productName, when, s);
}
