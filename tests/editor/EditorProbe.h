#pragma once

#include "editor/RiroruduLoudnessAudioProcessorEditor.h"

// The editor tests' view of the editor's widgets, which the editor keeps private.
struct EditorProbe
{
    using Editor = RiroruduLoudnessAudioProcessorEditor;

    explicit EditorProbe (Editor& e) : editor (e) {}

    Editor& editor;

    // Regions and pages.
    juce::Component& histogramPanel() { return editor.histogramPanel; }
    juce::ImageComponent& meterPanel() { return editor.meterPanel; }
    juce::Component& truePeakPage() { return editor.truePeakPageComponent; }
    juce::Component& statisticsPage() { return editor.statisticsPageComponent; }
    juce::Component& settingsPage() { return editor.settingsPageComponent; }
    juce::Component& aboutPage() { return editor.aboutPageComponent; }
    OSKAHistoryPage& historyPage() { return editor.historyPageComponent; }
    juce::TabbedButtonBar& tabs() { return editor.pageTabs; }
    juce::ImageComponent& truePeakScaleImage() { return editor.truePeakScaleImage; }

    // Histogram panel.
    RIRORuduLoudnessHistogram& histogram() { return editor.histogram; }
    juce::DrawableButton& histogramSwitch() { return editor.histogramSwitch; }

    // Meter panel.
    RIRORuduVU& momentaryBar() { return editor.momentaryBar; }
    RIRORuduLRVU& rangeMeter() { return editor.rangeMeter; }
    RIRORuduArrowVU& targetArrow() { return editor.targetArrow; }
    juce::DrawableButton& peakAlarm() { return editor.peakAlarmButton; }
    juce::Label& integratedReadout() { return editor.integratedReadout; }
    juce::Label& shortTermReadout() { return editor.shortTermReadout; }
    juce::Label& rangeReadout() { return editor.rangeReadout; }
    juce::Label& standardIndicator() { return editor.standardIndicator; }
    juce::Label& elapsedTime() { return editor.elapsedTime; }
    juce::DrawableButton& playPause() { return editor.playPauseButton; }
    juce::DrawableButton& reset() { return editor.resetButton; }
    juce::Label& unitCaption() { return editor.unitCaption; }
    juce::Label& unitCaptionK() { return editor.unitCaptionK; }

    // True-peak page.
    RIRORuduVU& truePeakBar (int c) { return editor.truePeakBars[c]; }
    juce::DrawableButton& overloadIndicator (int c) { return editor.overloadIndicators[c]; }
    juce::Label& truePeakValue (int c) { return editor.truePeakValues[c]; }

    // Statistics page.
    juce::Label& integratedRowCaption() { return editor.integratedRowCaption; }
    juce::Label& rangeRowCaption() { return editor.rangeRowCaption; }
    juce::Label& maxShortTermCaption() { return editor.maxShortTermCaption; }
    juce::Label& maxMomentaryCaption() { return editor.maxMomentaryCaption; }
    juce::Label& maxTruePeakCaption() { return editor.maxTruePeakCaption; }
    juce::Label& integratedValue() { return editor.integratedValue; }
    juce::Label& integratedUnit() { return editor.integratedUnit; }
    juce::Label& rangeValue() { return editor.rangeValue; }
    juce::Label& maxShortTermValue() { return editor.maxShortTermValue; }
    juce::Label& maxShortTermUnit() { return editor.maxShortTermUnit; }
    juce::Label& maxShortTermPosition() { return editor.maxShortTermPosition; }
    juce::Label& maxMomentaryValue() { return editor.maxMomentaryValue; }
    juce::Label& maxMomentaryUnit() { return editor.maxMomentaryUnit; }
    juce::Label& maxMomentaryPosition() { return editor.maxMomentaryPosition; }
    juce::Label& maxTruePeakValue() { return editor.maxTruePeakValue; }
    juce::Label& maxTruePeakPosition() { return editor.maxTruePeakPosition; }
    juce::Label& momentaryHits() { return editor.momentaryHits; }
    juce::Label& shortTermHits() { return editor.shortTermHits; }
    juce::DrawableButton& saveReport() { return editor.saveReportButton; }

    // Settings page.
    juce::ComboBox& standardBox() { return editor.standardBox; }
    juce::ComboBox& scaleBox() { return editor.scaleBox; }
    juce::ComboBox& unitsBox() { return editor.unitsBox; }
    juce::ComboBox& channelOrderBox() { return editor.channelOrderBox; }
    juce::ComboBox& referenceBox() { return editor.referenceBox; }
    juce::Slider& momentaryThreshold() { return editor.momentaryThresholdSlider; }
    juce::Slider& shortTermThreshold() { return editor.shortTermThresholdSlider; }
    juce::Slider& alarmLevel() { return editor.alarmLevelSlider; }
    juce::Slider& peakHold() { return editor.peakHoldSlider; }
    juce::Slider& overloadHold() { return editor.overloadHoldSlider; }
    juce::DrawableButton& gatingCheckBox() { return editor.gatingCheckBox; }
    juce::DrawableButton& followCheckBox() { return editor.followCheckBox; }
    juce::DrawableButton& audioSettings() { return editor.audioSettingsButton; }

    // About page.
    juce::Label& versionLine() { return editor.versionLine; }
    juce::HyperlinkButton& contactLink() { return editor.contactLink; }
    juce::HyperlinkButton& userGuideLink() { return editor.userGuideLink; }

    // The decoded images, to tell which one a component shows.
    const juce::Image& imageEbu9() { return editor.imageEbu9; }
    const juce::Image& imageLu9() { return editor.imageLu9; }
    const juce::Image& imageLu18() { return editor.imageLu18; }
    const juce::Image& imageAtsc18() { return editor.imageAtsc18; }
    const juce::Image& imagePeak18() { return editor.imagePeak18; }
    const juce::Image& imagePeak20() { return editor.imagePeak20; }
    const juce::Image& imagePlay() { return editor.imagePlay; }
    const juce::Image& imagePause() { return editor.imagePause; }
};
