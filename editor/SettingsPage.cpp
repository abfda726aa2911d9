#include "editor/SettingsPage.h"

#include <utility>

SettingsPage::SettingsPage (PageActions& a, bool isStandalone) : actions (a), standalone (isStandalone)
{
    WidgetStyle::label (modeTitle, *this, "Loudness Metering Mode", 13, 17, 400, 60, 17.0f);

    WidgetStyle::label (standardLabel, *this, "Standard:", 13, 61, 60, 30, 14.0f);
    standardBox.addItem ("EBU", 1);
    standardBox.addItem ("ATSC", 2);
    standardBox.addItem ("ARIB", 3);
    WidgetStyle::box (standardBox, *this, boxLook, *this);

    WidgetStyle::label (scaleLabel, *this, "Scale:", 13, 96, 45, 30, 14.0f);
    scaleBox.addItem ("+9", 1);
    scaleBox.addItem ("+18", 2);
    WidgetStyle::box (scaleBox, *this, boxLook, *this);

    WidgetStyle::label (unitsLabel, *this, "Units:", 13, 131, 45, 30, 14.0f);
    unitsBox.addItem ("LUFS", 1);
    unitsBox.addItem ("LU", 2);
    WidgetStyle::box (unitsBox, *this, boxLook, *this);

    // The standalone program assigns device channels in its audio settings instead.
    showChannelOrders (SpeakerLayout::surround51);

    if (!standalone)
    {
        WidgetStyle::label (channelOrderLabel, *this, "Ch. order:", 13, 164, 70, 30, 14.0f);
        WidgetStyle::box (channelOrderBox, *this, boxLook, *this);
    }

    WidgetStyle::label (momentaryThresholdLabel, *this, "ML threshold:", 13, 197, 100, 30, 14.0f);
    WidgetStyle::slider (momentaryThresholdSlider, *this, sliderLook, *this, -30.0, -10.0);
    WidgetStyle::label (shortTermThresholdLabel, *this, "SL threshold:", 13, 227, 100, 30, 14.0f);
    WidgetStyle::slider (shortTermThresholdSlider, *this, sliderLook, *this, -30.0, -10.0);

    // Built in the standalone program too, where it still follows its parameter, but only shown
    // in the plug-in: a standalone program has no host transport to follow.
    for (auto* checkBox : {&gatingCheckBox, &followCheckBox})
    {
        WidgetStyle::buttonImages (*checkBox, {imageCheckOff, {}, {}, {}, imageCheckOn});
        checkBox->setClickingTogglesState (true);
        checkBox->addListener (this);
    }

    addAndMakeVisible (gatingCheckBox);
    WidgetStyle::label (gatingLabel, *this, "Integrated loudness gating off", 35, 235, 180, 60, 14.0f);

    if (standalone)
    {
        followLabel.setText ("Follow transport", juce::dontSendNotification);

        WidgetStyle::buttonImages (audioSettingsButton, {imageAudioSettings, {}, imageAudioSettingsPushed});
        audioSettingsButton.addListener (this);
        addAndMakeVisible (audioSettingsButton);
    }
    else
    {
        addAndMakeVisible (followCheckBox);
        WidgetStyle::label (followLabel, *this, "Follow transport", 35, 254, 180, 60, 14.0f);
    }

    WidgetStyle::label (truePeakTitle, *this, "True Peak Meter", 12, 300, 160, 60, 17.0f);
    WidgetStyle::label (referenceLabel, *this, "True peak ref. level:", 12, 336, 180, 60, 14.0f);
    referenceBox.addItem ("-18", 1);
    referenceBox.addItem ("-20", 2);
    WidgetStyle::box (referenceBox, *this, boxLook, *this);

    struct Row
    {
        juce::Label* label;
        juce::Slider* slider;
        juce::Label* unit;
        const char *text, *unitText;
        double minimum, maximum;
        int y;
    };

    const Row rows[] = {{&alarmLevelLabel, &alarmLevelSlider, &alarmLevelUnit,
                         "True peak max. level:", "dBTP", -12.0, 0.0, 374},
                        {&peakHoldLabel, &peakHoldSlider, &peakHoldUnit, "Peak hold:", "sec", 0.0, 10.0, 399},
                        {&overloadHoldLabel, &overloadHoldSlider, &overloadHoldUnit, "Overload hold:", "sec",
                         0.0, 10.0, 424}};

    for (auto [label, slider, unit, text, unitText, minimum, maximum, y] : rows)
    {
        WidgetStyle::label (*label, *this, text, 12, y, 150, 30, 14.0f);
        WidgetStyle::slider (*slider, *this, sliderLook, *this, minimum, maximum);
        WidgetStyle::label (*unit, *this, unitText, 195, y, 150, 30, 14.0f);
    }
}

SettingsPage::~SettingsPage()
{
    for (auto* slider : {&momentaryThresholdSlider, &shortTermThresholdSlider, &alarmLevelSlider,
                         &peakHoldSlider, &overloadHoldSlider})
        slider->setLookAndFeel (nullptr);

    for (auto* box : {&standardBox, &scaleBox, &unitsBox, &channelOrderBox, &referenceBox})
        box->setLookAndFeel (nullptr);
}

void SettingsPage::paint (juce::Graphics& g)
{
    g.setOpacity (1.0f);
    g.drawImage (background, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
}

void SettingsPage::resized()
{
    const std::pair<juce::Component*, juce::Rectangle<int>> places[] = {
        {&standardBox, {110, 69, 105, 13}},
        {&scaleBox, {110, 104, 105, 13}},
        {&unitsBox, {110, 137, 105, 13}},
        {&channelOrderBox, {110, 170, 105, 13}},
        {&momentaryThresholdSlider, {110, 203, 105, 13}},
        {&shortTermThresholdSlider, {110, 233, 105, 13}},
        {&gatingCheckBox, {17, 259, 12, 12}},
        {&followCheckBox, {17, 278, 12, 12}},
        {&audioSettingsButton, {17, 281, 96, 22}},
        {&referenceBox, {150, 357, 39, 14}},
        {&alarmLevelSlider, {150, 382, 40, 12}},
        {&peakHoldSlider, {150, 407, 40, 12}},
        {&overloadHoldSlider, {150, 432, 40, 12}}};

    for (auto [control, area] : places)
        control->setBounds (area);
}

void SettingsPage::update (const PageSnapshot& s)
{
    const auto& i = s.indices;
    const auto none = juce::dontSendNotification;

    if (s.readings.layout != shownLayout)
        showChannelOrders (s.readings.layout);

    // Three-way boxes take only the documented choices; anything else leaves them as they are.
    // The channel order is a choice of the 5.1 arrangement only.
    for (auto [box, index] : {std::pair<juce::ComboBox*, int>{&standardBox, i.standard},
                              std::pair<juce::ComboBox*, int>{&channelOrderBox, i.surroundLayout}})
    {
        const auto choice = s.choiceOf (index);

        if (choice >= 0 && choice <= 2 &&
            (box != &channelOrderBox || shownLayout == SpeakerLayout::surround51))
            box->setSelectedId (choice + 1, none);
    }

    scaleBox.setSelectedId (s.choiceOf (i.scale) != 0 ? 2 : 1, none);
    unitsBox.setSelectedId (s.choiceOf (i.unit) != 0 ? 2 : 1, none);
    referenceBox.setSelectedId (s.choiceOf (i.referenceLevel) != 0 ? 2 : 1, none);

    gatingCheckBox.setToggleState (s.choiceOf (i.type) != 0, none);
    followCheckBox.setToggleState (s.choiceOf (i.followTransport) != 0, none);

    alarmLevelSlider.setValue ((double)s.valueOf (i.maxLevel), none);
    peakHoldSlider.setValue ((double)s.valueOf (i.holdTime), none);
    overloadHoldSlider.setValue ((double)s.valueOf (i.overTime), none);

    // A threshold between the slider's steps lands on a step; the asynchronous notification
    // then writes that step back, so host and slider agree.
    momentaryThresholdSlider.setValue ((double)s.valueOf (i.momentaryThreshold), juce::sendNotificationAsync);
    shortTermThresholdSlider.setValue ((double)s.valueOf (i.shortTermThreshold), juce::sendNotificationAsync);

    if (s.changed (i.standard) || s.changed (i.scale) || s.changed (i.unit) || s.changed (i.referenceLevel))
        nameAbsoluteUnit();
}

void SettingsPage::showChannelOrders (int layoutId)
{
    const auto& layout = SpeakerLayout::get (layoutId);
    shownLayout = layout.id;
    channelOrderBox.clear (juce::dontSendNotification);

    if (layout.id == SpeakerLayout::surround51)
    {
        channelOrderBox.addItem ("ITU - L R C LFE Ls Rs", 1);
        channelOrderBox.addItem ("C|24 - L C R Ls Rs LFE", 2);
        channelOrderBox.addItem ("DTS - L R Ls Rs C LFE", 3);
        channelOrderBox.setEnabled (true);
        return;
    }

    // The box has room for six names; a bigger bed comes in the host's order, and its names
    // stand under the bars of the true-peak page.
    juce::String order = "host order";

    if (layout.numChannels <= 6)
    {
        juce::StringArray labels;

        for (int c = 0; c < layout.numChannels; ++c)
            labels.add (layout.speakers[c].label);

        order = labels.joinIntoString (" ");
    }

    channelOrderBox.addItem (juce::String (layout.name) + " - " + order, arrangementItemBase + layout.id);
    channelOrderBox.setSelectedId (arrangementItemBase + layout.id, juce::dontSendNotification);
    channelOrderBox.setEnabled (false);
}

void SettingsPage::nameAbsoluteUnit()
{
    const auto c = controls();
    const auto key = (c.ebu ? 1 : 0) + (c.relative ? 2 : 0);

    if (key == lastUnitKey)
        return;

    lastUnitKey = key;

    // Item 1 is named after the standard's absolute unit; re-selecting the current item makes
    // the shown text follow, and the notification writes the unit back to the host. The id is
    // taken first: once the item is renamed the box no longer reports it as selected.
    const auto selected = unitsBox.getSelectedId();
    unitsBox.changeItemText (1, c.ebu ? "LUFS" : "LKFS");

    if (selected != 0)
        unitsBox.setSelectedId (selected, juce::sendNotificationAsync);
}

PageSnapshot::Controls SettingsPage::controls() const
{
    PageSnapshot::Controls c;
    c.ebu = standardBox.getSelectedId() == 1;
    c.relative = unitsBox.getSelectedId() == 2;
    c.gatingOff = gatingCheckBox.getToggleState();
    c.scaleId = scaleBox.getSelectedId();
    c.referenceId = referenceBox.getSelectedId();
    c.momentaryThreshold = momentaryThresholdSlider.getValue();
    c.shortTermThreshold = shortTermThresholdSlider.getValue();
    c.alarmLevel = alarmLevelSlider.getValue();
    c.peakHold = peakHoldSlider.getValue();
    c.overloadHold = overloadHoldSlider.getValue();
    return c;
}

const char* SettingsPage::parameterOf (const juce::Component* control) const
{
    const std::pair<const juce::Component*, const char*> names[] = {
        {&standardBox, "Measurement Standard"},
        {&scaleBox, "Measurement Scale"},
        {&unitsBox, "Measurement Unit"},
        {&channelOrderBox, "Surround layout"},
        {&referenceBox, "TruePeak Ref Level"},
        {&momentaryThresholdSlider, "ML Threshold"},
        {&shortTermThresholdSlider, "STL Threshold"},
        {&alarmLevelSlider, "TruePeak Max Level"},
        {&peakHoldSlider, "TruePeak Hold Time"},
        {&overloadHoldSlider, "TruePeak Over Time"},
        {&gatingCheckBox, "Measurement Type"},
        {&followCheckBox, "Follow Transport"}};

    for (auto [c, name] : names)
        if (c == control)
            return name;

    return nullptr;
}

void SettingsPage::buttonClicked (juce::Button* button)
{
    if (button == &audioSettingsButton)
        actions.openAudioSettings();
    else if (auto* name = parameterOf (button))
        actions.setParameterFromControl (name, button->getToggleState() ? 1.0f : 0.0f);
}

void SettingsPage::comboBoxChanged (juce::ComboBox* box)
{
    const auto id = box->getSelectedId();

    // Nothing selected (id 0) is no choice to write, and a bigger arrangement's order none either.
    if (id == 0 || id >= arrangementItemBase)
        return;

    if (auto* name = parameterOf (box))
        actions.setParameterFromControl (name, (float)(id - 1));
}

void SettingsPage::sliderValueChanged (juce::Slider* slider)
{
    if (auto* name = parameterOf (slider))
        actions.setParameterFromControl (name, (float)slider->getValue());
}
