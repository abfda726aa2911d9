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
    juce::Component& truePeakPage() { return editor.truePeakPage; }
    juce::Component& statisticsPage() { return editor.statisticsPage; }
    // The statistics page as the one that writes the report.
    StatisticsPage& statistics() { return editor.statisticsPage; }
    juce::Component& settingsPage() { return editor.settingsPage; }
    juce::Component& aboutPage() { return editor.aboutPage; }
    OSKAHistoryPage& historyPage() { return editor.historyPage; }
    juce::TabbedButtonBar& tabs() { return editor.pageTabs; }
    juce::ImageComponent& truePeakScaleImage() { return editor.truePeakPage.scaleImage; }

    // Histogram panel.
    RIRORuduLoudnessHistogram& histogram() { return editor.histogram; }
    juce::DrawableButton& histogramSwitch() { return editor.histogramSwitch; }

    // Meter panel.
    RIRORuduVU& momentaryBar() { return editor.meterPanel.momentaryBar; }
    RIRORuduLRVU& rangeMeter() { return editor.meterPanel.rangeMeter; }
    RIRORuduArrowVU& targetArrow() { return editor.meterPanel.targetArrow; }
    juce::DrawableButton& peakAlarm() { return editor.meterPanel.peakAlarmButton; }
    juce::Label& integratedReadout() { return editor.meterPanel.integratedReadout; }
    juce::Label& shortTermReadout() { return editor.meterPanel.shortTermReadout; }
    juce::Label& rangeReadout() { return editor.meterPanel.rangeReadout; }
    juce::Label& standardIndicator() { return editor.meterPanel.standardIndicator; }
    juce::Label& elapsedTime() { return editor.meterPanel.elapsedTime; }
    juce::DrawableButton& playPause() { return editor.meterPanel.playPauseButton; }
    juce::DrawableButton& reset() { return editor.meterPanel.resetButton; }
    juce::Label& unitCaption() { return editor.meterPanel.unitCaption; }
    juce::Label& unitCaptionK() { return editor.meterPanel.unitCaptionK; }

    // True-peak page.
    RIRORuduVU& truePeakBar (int c) { return editor.truePeakPage.bars[c]; }
    juce::DrawableButton& overloadIndicator (int c) { return editor.truePeakPage.overloadIndicators[c]; }
    juce::Label& truePeakValue (int c) { return editor.truePeakPage.values[c]; }

    // Statistics page.
    juce::Label& integratedRowCaption() { return editor.statisticsPage.integratedRowCaption; }
    juce::Label& rangeRowCaption() { return editor.statisticsPage.rangeRowCaption; }
    juce::Label& maxShortTermCaption() { return editor.statisticsPage.maxShortTermCaption; }
    juce::Label& maxMomentaryCaption() { return editor.statisticsPage.maxMomentaryCaption; }
    juce::Label& maxTruePeakCaption() { return editor.statisticsPage.maxTruePeakCaption; }
    juce::Label& integratedValue() { return editor.statisticsPage.integratedValue; }
    juce::Label& integratedUnit() { return editor.statisticsPage.integratedUnit; }
    juce::Label& rangeValue() { return editor.statisticsPage.rangeValue; }
    juce::Label& maxShortTermValue() { return editor.statisticsPage.maxShortTermValue; }
    juce::Label& maxShortTermUnit() { return editor.statisticsPage.maxShortTermUnit; }
    juce::Label& maxShortTermPosition() { return editor.statisticsPage.maxShortTermPosition; }
    juce::Label& maxMomentaryValue() { return editor.statisticsPage.maxMomentaryValue; }
    juce::Label& maxMomentaryUnit() { return editor.statisticsPage.maxMomentaryUnit; }
    juce::Label& maxMomentaryPosition() { return editor.statisticsPage.maxMomentaryPosition; }
    juce::Label& maxTruePeakValue() { return editor.statisticsPage.maxTruePeakValue; }
    juce::Label& maxTruePeakPosition() { return editor.statisticsPage.maxTruePeakPosition; }
    juce::Label& momentaryHits() { return editor.statisticsPage.momentaryHits; }
    juce::Label& shortTermHits() { return editor.statisticsPage.shortTermHits; }
    juce::DrawableButton& saveReport() { return editor.statisticsPage.saveReportButton; }

    // Settings page.
    juce::ComboBox& standardBox() { return editor.settingsPage.standardBox; }
    juce::ComboBox& scaleBox() { return editor.settingsPage.scaleBox; }
    juce::ComboBox& unitsBox() { return editor.settingsPage.unitsBox; }
    juce::ComboBox& channelOrderBox() { return editor.settingsPage.channelOrderBox; }
    juce::ComboBox& referenceBox() { return editor.settingsPage.referenceBox; }
    juce::Slider& momentaryThreshold() { return editor.settingsPage.momentaryThresholdSlider; }
    juce::Slider& shortTermThreshold() { return editor.settingsPage.shortTermThresholdSlider; }
    juce::Slider& alarmLevel() { return editor.settingsPage.alarmLevelSlider; }
    juce::Slider& peakHold() { return editor.settingsPage.peakHoldSlider; }
    juce::Slider& overloadHold() { return editor.settingsPage.overloadHoldSlider; }
    juce::DrawableButton& gatingCheckBox() { return editor.settingsPage.gatingCheckBox; }
    juce::DrawableButton& followCheckBox() { return editor.settingsPage.followCheckBox; }
    juce::DrawableButton& audioSettings() { return editor.settingsPage.audioSettingsButton; }

    // About page.
    juce::Label& versionLine() { return editor.aboutPage.versionLine; }
    juce::HyperlinkButton& contactLink() { return editor.aboutPage.contactLink; }
    juce::HyperlinkButton& userGuideLink() { return editor.aboutPage.userGuideLink; }

    // The decoded images, to tell which one a component shows.
    const juce::Image& imageEbu9() { return editor.meterPanel.imageEbu9; }
    const juce::Image& imageLu9() { return editor.meterPanel.imageLu9; }
    const juce::Image& imageLu18() { return editor.meterPanel.imageLu18; }
    const juce::Image& imageAtsc18() { return editor.meterPanel.imageAtsc18; }
    const juce::Image& imagePeak18() { return editor.truePeakPage.imagePeak18; }
    const juce::Image& imagePeak20() { return editor.truePeakPage.imagePeak20; }
    const juce::Image& imagePlay() { return editor.meterPanel.imagePlay; }
    const juce::Image& imagePause() { return editor.meterPanel.imagePause; }
};
