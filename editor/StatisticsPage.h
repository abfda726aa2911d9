#pragma once

#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/WidgetStyle.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The statistics page: programme loudness, range, the maxima and where they occurred, the hits
// over the thresholds, and the report of all of it that the save button writes.
class StatisticsPage : public juce::Component, private juce::Button::Listener
{
public:
    // productName heads the report.
    StatisticsPage (PageActions& actions, const juce::String& productName);
    ~StatisticsPage() override;

    void update (const PageSnapshot& snapshot);

    // Writes the report of what the page shows now into file. A failure is shown to the user
    // with the file's name and the reason, and returned.
    juce::Result writeReportTo (const juce::File& file);

    // The report text of what the page shows, dated `when`.
    juce::String reportText (const juce::Time& when) const;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    void buttonClicked (juce::Button* button) override;

    PageActions& actions;
    const juce::String productName;

    juce::Image background =
        WidgetStyle::decode (BinaryData::Statistics_bkg_png, BinaryData::Statistics_bkg_pngSize);
    juce::Image imageSave = WidgetStyle::decode (BinaryData::butSaveLog_png, BinaryData::butSaveLog_pngSize);
    juce::Image imageSavePushed =
        WidgetStyle::decode (BinaryData::but_SaveLogPush_png, BinaryData::but_SaveLogPush_pngSize);

    juce::Label title, valuesHeader, positionHeader;
    juce::Label integratedRowCaption, integratedUnit, integratedValue;
    juce::Label rangeRowCaption, rangeUnit, rangeValue;
    juce::Label maxShortTermCaption, maxShortTermUnit, maxShortTermValue, maxShortTermPosition;
    juce::Label maxMomentaryCaption, maxMomentaryUnit, maxMomentaryValue, maxMomentaryPosition;
    juce::Label maxTruePeakCaption, maxTruePeakUnit, maxTruePeakValue, maxTruePeakPosition;
    juce::Label hitsTitle, momentaryHitsCaption, momentaryHits, shortTermHitsCaption, shortTermHits;
    juce::DrawableButton saveReportButton{"saveReport", juce::DrawableButton::ImageStretched};

    // The thresholds the hits are counted over, for the report.
    double momentaryThreshold = 0.0, shortTermThreshold = 0.0;
    int lastStandard = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StatisticsPage)
};
