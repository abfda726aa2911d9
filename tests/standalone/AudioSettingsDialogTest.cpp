#include "DialogFixture.h"

#include <gtest/gtest.h>

namespace
{
using Rect = juce::Rectangle<int>;
const juce::String noneText ("<< none >>");

std::vector<juce::String> rowTexts (AudioDeviceSettingsPanel::OSKAChannelSelectorDropBox& selector)
{
    std::vector<juce::String> texts;

    for (int i = 0; i < 6; ++i)
        texts.push_back (selector.getChannelBox (i).getText());

    return texts;
}

std::vector<int> setBits (const juce::BigInteger& bits)
{
    std::vector<int> result;

    for (int i = 0; i <= bits.getHighestBit(); ++i)
        if (bits[i])
            result.push_back (i);

    return result;
}
} // namespace

TEST (AudioSettingsDialog, FirstRunShowsNoChannelInEveryRowAndSwitchesOffEveryDeviceChannel)
{
    DialogFixture f;
    ASSERT_NE (f.manager.getCurrentAudioDevice(), nullptr);
    // The manager opened its default channels, but the meter listens to none of them yet.
    EXPECT_EQ (f.device().getActiveInputChannels().countNumberOfSetBits(), 6);
    EXPECT_EQ (entries (f.processor->channelMap), std::vector<int> (6, -1));

    f.openDialog();

    for (auto* selector : {&f.inputs(), &f.outputs()})
    {
        EXPECT_EQ (rowTexts (*selector), std::vector<juce::String> (6, noneText));

        auto& box = selector->getChannelBox (0);
        ASSERT_EQ (box.getNumItems(), 9); // eight channels and the none item, last
        EXPECT_EQ (box.getItemText (8), noneText);
        EXPECT_EQ (box.getItemId (8), -1);
        EXPECT_EQ (box.getItemId (0), 1);
    }

    EXPECT_EQ (f.inputs().getChannelBox (0).getItemText (2), "Analog In 3");
    EXPECT_EQ (f.outputs().getChannelBox (0).getItemText (2), "Analog Out 3");

    const auto setup = f.manager.getAudioDeviceSetup();
    EXPECT_TRUE (setup.inputChannels.isZero());
    EXPECT_TRUE (setup.outputChannels.isZero());
    EXPECT_FALSE (setup.useDefaultInputChannels);
    EXPECT_FALSE (setup.useDefaultOutputChannels);

    for (auto* layout : {&f.processor->inputLayoutSetting, &f.processor->outputLayoutSetting,
                         &f.processor->outputChannelMap})
        EXPECT_EQ (entries (*layout), std::vector<int> (6, -1));

    EXPECT_EQ (entries (f.processor->channelMap), std::vector<int> (6, -1));

    // Refreshing again applies the same nothing: the dialog comes to rest.
    f.panel().rebuildControls();
    settle();
    EXPECT_EQ (rowTexts (f.inputs()), std::vector<juce::String> (6, noneText));
}

TEST (AudioSettingsDialog, LayoutOfTheDialogWithOneDeviceType)
{
    DialogFixture f;
    f.openDialog();

    // One type: no type box, the panel starts at y 15.
    EXPECT_EQ (f.selector->getDeviceTypeBox(), nullptr);
    auto& panel = f.panel();
    EXPECT_EQ (panel.getBounds(), Rect (0, 15, 615, 334));

    ASSERT_NE (panel.getInputDeviceBox(), nullptr);
    EXPECT_EQ (panel.getInputDeviceBox()->getBounds(), Rect (105, 0, 203, 24));
    EXPECT_EQ (panel.getOutputDeviceBox()->getBounds(), Rect (369, 0, 203, 24));
    EXPECT_EQ (panel.getSampleRateBox()->getBounds(), Rect (105, 30, 203, 24));
    EXPECT_EQ (panel.getBufferSizeBox()->getBounds(), Rect (105, 60, 203, 24));
    EXPECT_EQ (f.inputs().getBounds(), Rect (49, 90, 406, 240));
    EXPECT_EQ (f.outputs().getBounds(), Rect (314, 90, 406, 240));

    for (int i = 0; i < 6; ++i)
        EXPECT_EQ (f.inputs().getChannelBox (i).getBounds(), Rect (55, 30 * i, 203, 24)) << i;

    const char* const names[] = {"L", "R", "C", "LFE", "LS", "RS"};

    for (int i = 0; i < 6; ++i)
    {
        auto& label = f.outputs().getChannelLabel (i);
        EXPECT_EQ (label.getText(), names[i]);
        EXPECT_EQ (label.getAttachedComponent(), &f.outputs().getChannelBox (i));
        EXPECT_TRUE (label.isAttachedOnLeft());
        EXPECT_EQ (label.findColour (juce::Label::textColourId), juce::Colours::white);
    }

    ASSERT_NE (panel.getOutputDeviceLabel(), nullptr);
    EXPECT_EQ (panel.getOutputDeviceLabel()->getText(), "Output:");
    EXPECT_FLOAT_EQ (panel.getOutputDeviceLabel()->getFont().getHeight(), 14.0f);

    auto& box = *panel.getSampleRateBox();
    EXPECT_EQ (box.findColour (juce::ComboBox::backgroundColourId), juce::Colour (0xFFD8D8D8));
    EXPECT_EQ (box.findColour (juce::ComboBox::outlineColourId), juce::Colour (0xFF3E454D));
    EXPECT_EQ (box.findColour (juce::ComboBox::buttonColourId), juce::Colour (0xFF3E454D));
    EXPECT_EQ (box.findColour (juce::ComboBox::arrowColourId), juce::Colour (0xFF3A93DD));
    EXPECT_NE (dynamic_cast<TarnxLookAndFeel*> (&f.inputs().getChannelBox (3).getLookAndFeel()), nullptr);

    EXPECT_EQ (panel.getSampleRateBox()->getText(), "44100 Hz");
    EXPECT_EQ (panel.getBufferSizeBox()->getText(), "256 samples (5.8 ms)");
    EXPECT_EQ (panel.getInputDeviceBox()->getText(), "Studio");
}

TEST (AudioSettingsDialog, TwoDeviceTypesShowATypeBoxThatRebuildsThePanel)
{
    DialogFixture f ({studioInterface()}, {"Alpha", "Beta"});
    f.openDialog();

    auto* typeBox = f.selector->getDeviceTypeBox();
    ASSERT_NE (typeBox, nullptr);
    EXPECT_EQ (typeBox->getNumItems(), 2);
    EXPECT_EQ (typeBox->getText(), "Alpha");
    EXPECT_EQ (typeBox->getX(), 215);
    EXPECT_EQ (f.selector->getDeviceTypeLabel()->getText(), "Audio device type:");
    EXPECT_EQ (f.panel().getY(), 57);

    DialogFixture::choose (*typeBox, 2);

    EXPECT_EQ (f.manager.getCurrentAudioDeviceType(), "Beta");
    EXPECT_EQ (typeBox->getText(), "Beta");
    ASSERT_NE (f.selector->getSettingsPanel(), nullptr);

    // The meter asked for no channels (first run), so the new type starts without a device;
    // choosing the output device opens it with the outputs 0 to 5 assigned.
    EXPECT_EQ (f.manager.getCurrentAudioDevice(), nullptr);
    DialogFixture::chooseText (*f.panel().getOutputDeviceBox(), "Studio");

    ASSERT_NE (f.manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (f.manager.getCurrentAudioDevice()->getTypeName(), "Beta");
    EXPECT_EQ (f.panel().getBounds(), Rect (0, 57, 615, 334));
    EXPECT_EQ (entries (f.processor->outputLayoutSetting), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ (setBits (f.manager.getAudioDeviceSetup().outputChannels),
               (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ (entries (f.processor->inputLayoutSetting), std::vector<int> (6, -1));
}

TEST (AudioSettingsDialog, AnotherInputDeviceStartsAgainFromChannelsZeroToFive)
{
    DialogFixture f;
    f.openDialog();

    // The user's own choice on the eight-channel device: L on input 4.
    DialogFixture::choose (f.inputs().getChannelBox (0), 4);
    EXPECT_EQ (entries (f.processor->inputLayoutSetting), (std::vector<int>{3, -1, -1, -1, -1, -1}));

    // A stereo input device: the assignment becomes 0..5, of which only L and R exist.
    DialogFixture::chooseText (*f.panel().getInputDeviceBox(), "USB Duo");

    ASSERT_NE (f.manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (f.device().getInputName(), "USB Duo");
    EXPECT_EQ (f.device().getOutputName(), "Studio");

    auto& rows = f.inputs();
    ASSERT_EQ (rows.getChannelBox (2).getNumItems(), 3);
    EXPECT_EQ (rows.getChannelBox (2).getItemText (0), "In 1");
    EXPECT_EQ (rows.getChannelBox (2).getItemText (2), noneText);
    EXPECT_EQ (rows.getChannelBox (0).getText(), "In 1");
    EXPECT_EQ (rows.getChannelBox (1).getText(), "In 2");

    // C to Rs named device channels the stereo device lacks: they read back as no channel.
    EXPECT_EQ (entries (rows.getSelectedChannels()), (std::vector<int>{0, 1, -1, -1, -1, -1}));
    EXPECT_EQ (entries (f.processor->inputLayoutSetting), (std::vector<int>{0, 1, -1, -1, -1, -1}));
    EXPECT_EQ (entries (f.processor->channelMap), (std::vector<int>{0, 1, -1, -1, -1, -1}));
    EXPECT_EQ (setBits (f.manager.getAudioDeviceSetup().inputChannels), (std::vector<int>{0, 1}));

    // The outputs were not touched: still none.
    EXPECT_EQ (entries (f.processor->outputLayoutSetting), std::vector<int> (6, -1));
    EXPECT_TRUE (f.warnings.empty());
}

TEST (AudioSettingsDialog, AChosenChannelIsUnavailableInTheOtherRowsAndTheMapFollowsItsRank)
{
    DialogFixture f;
    const int assignment[Tarn51AudioProcessor::numMeterChannels] = {-1, 0,  -1, -1, -1, -1,
                                                                    -1, -1, -1, -1, -1, -1}; // R on input 1
    f.processor->applyInputLayout (assignment);
    f.openDialog();

    auto& rows = f.inputs();
    EXPECT_EQ (rows.getChannelBox (1).getText(), "Analog In 1");

    DialogFixture::choose (rows.getChannelBox (0), 3); // L on input 3

    // Input 1 is the lower of the two active channels, so it is buffer channel 0.
    EXPECT_EQ (entries (f.processor->channelMap), (std::vector<int>{1, 0, -1, -1, -1, -1}));
    EXPECT_EQ (entries (f.processor->inputLayoutSetting), (std::vector<int>{2, 0, -1, -1, -1, -1}));
    EXPECT_EQ (setBits (f.device().getActiveInputChannels()), (std::vector<int>{0, 2}));

    for (int row = 0; row < 6; ++row)
    {
        EXPECT_EQ (rows.getChannelBox (row).isItemEnabled (3), row == 0) << row;
        EXPECT_EQ (rows.getChannelBox (row).isItemEnabled (1), row == 1) << row;
        EXPECT_TRUE (rows.getChannelBox (row).isItemEnabled (2)) << row;
        EXPECT_TRUE (rows.getChannelBox (row).isItemEnabled (-1)) << row;
    }

    // Giving L up makes input 3 available everywhere again.
    DialogFixture::choose (rows.getChannelBox (0), -1);

    for (int row = 0; row < 6; ++row)
        EXPECT_TRUE (rows.getChannelBox (row).isItemEnabled (3)) << row;

    EXPECT_EQ (entries (f.processor->channelMap), (std::vector<int>{-1, 0, -1, -1, -1, -1}));

    // The assignment lives in the processor: a dialog opened again shows it.
    f.closeDialog();
    f.openDialog();
    EXPECT_EQ (rowTexts (f.inputs()),
               (std::vector<juce::String>{noneText, "Analog In 1", noneText, noneText, noneText, noneText}));
}

TEST (AudioSettingsDialog, AssigningLAndRToOutputsTwoAndOneSwapsThemOnTheOutput)
{
    DialogFixture f ({stereoInterface()});
    f.connectPlayer();
    f.openDialog();

    DialogFixture::choose (f.inputs().getChannelBox (0), 1);
    DialogFixture::choose (f.inputs().getChannelBox (1), 2);
    DialogFixture::choose (f.outputs().getChannelBox (0), 2);
    DialogFixture::choose (f.outputs().getChannelBox (1), 1);

    EXPECT_EQ (entries (f.processor->outputChannelMap), (std::vector<int>{1, 0, -1, -1, -1, -1}));

    ASSERT_NE (f.manager.getCurrentAudioDevice(), nullptr);
    ASSERT_TRUE (f.device().isPlaying());

    const int n = 64;
    std::vector<float> left ((size_t)n), right ((size_t)n);

    for (int i = 0; i < n; ++i)
    {
        left[(size_t)i] = 0.25f;
        right[(size_t)i] = -0.5f + 0.001f * (float)i;
    }

    const auto out = f.device().runBlock ({left, right}, n);

    ASSERT_EQ (out.size(), 2u);
    EXPECT_EQ (out[0], right);
    EXPECT_EQ (out[1], left);

    // Without an output for R, its input reaches nothing and output 1 is silent.
    DialogFixture::choose (f.outputs().getChannelBox (1), -1);
    const auto single = f.device().runBlock ({left, right}, n);
    ASSERT_EQ (single.size(), 1u); // only output 2 is on, and it carries L
    EXPECT_EQ (single[0], left);
}

TEST (AudioSettingsDialog, BufferTextsUse48kHzWhenTheDeviceReportsARateOfZero)
{
    auto spec = studioInterface();
    spec.reportsZeroRate = true;
    spec.bufferSizes = {128, 512};
    DialogFixture f ({spec});
    f.openDialog();

    auto* box = f.panel().getBufferSizeBox();
    ASSERT_NE (box, nullptr);
    ASSERT_EQ (box->getNumItems(), 2);
    EXPECT_EQ (box->getItemText (1), "512 samples (10.7 ms)");
    EXPECT_EQ (box->getItemId (1), 512);
    EXPECT_EQ (box->getItemText (0), "128 samples (2.7 ms)");

    // The rate box lists the rates and selects nothing for a rate of 0.
    EXPECT_EQ (f.panel().getSampleRateBox()->getNumItems(), 2);
    EXPECT_EQ (f.panel().getSampleRateBox()->getSelectedId(), 0);
}

TEST (AudioSettingsDialog, ARejectedSetupShowsTheWarningAndTheBoxesShowWhatTheManagerUses)
{
    auto spec = studioInterface();
    spec.rates = {44100.0, 48000.0, 96000.0};
    spec.openRule = [] (const juce::BigInteger&, const juce::BigInteger&, double rate, int)
    { return rate == 96000.0 ? juce::String ("The clock cannot run at 96 kHz") : juce::String(); };
    DialogFixture f ({spec});
    f.openDialog();
    DialogFixture::choose (f.inputs().getChannelBox (0), 1); // a channel on: the device runs

    DialogFixture::choose (*f.panel().getSampleRateBox(), 48000);
    EXPECT_TRUE (f.warnings.empty());
    EXPECT_EQ (f.device().getCurrentSampleRate(), 48000.0);

    DialogFixture::choose (*f.panel().getSampleRateBox(), 96000);

    ASSERT_EQ (f.warnings.size(), 1u);
    EXPECT_EQ (f.warnings[0].title, "Error when trying to open audio device!");
    EXPECT_EQ (f.warnings[0].message, "The clock cannot run at 96 kHz");

    // The manager closed the device: no rate or buffer boxes, the device boxes show nothing,
    // the channel selectors keep what they showed.
    EXPECT_EQ (f.manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (f.panel().getSampleRateBox(), nullptr);
    EXPECT_EQ (f.panel().getBufferSizeBox(), nullptr);
    EXPECT_EQ (f.panel().getOutputDeviceBox()->getText(), "");
    EXPECT_EQ (f.panel().getInputDeviceBox()->getText(), "");
    ASSERT_NE (f.panel().getInputChannelSelector(), nullptr);
    EXPECT_EQ (f.inputs().getChannelBox (0).getNumItems(), 9);
}

TEST (AudioSettingsDialog, ARejectedChannelLayoutIsOnlyLoggedAndTheProcessorKeepsIt)
{
    auto spec = studioInterface();
    spec.openRule = [] (const juce::BigInteger& inputs, const juce::BigInteger&, double, int)
    { return inputs.countNumberOfSetBits() == 3 ? juce::String ("Not three inputs") : juce::String(); };
    DialogFixture f ({spec});
    f.openDialog();

    DialogFixture::choose (f.inputs().getChannelBox (0), 1);
    DialogFixture::choose (f.inputs().getChannelBox (1), 2);

    LogCatcher log;
    DialogFixture::choose (f.inputs().getChannelBox (2), 3);

    EXPECT_TRUE (log.lines.contains ("Cannot set this channel layout!"));
    EXPECT_TRUE (f.warnings.empty());
    EXPECT_EQ (entries (f.processor->inputLayoutSetting), (std::vector<int>{0, 1, 2, -1, -1, -1}));
    EXPECT_EQ (entries (f.processor->channelMap), (std::vector<int>{0, 1, 2, -1, -1, -1}));
}

namespace
{
class DialogLayouts : public ::testing::TestWithParam<int>
{
};
} // namespace

// The layout choice: one row per channel of the layout, named after its channel, inside the
// dialog; a device chosen then gets its channels 0 to n-1 in the rows, and going back to 5.1
// leaves the rows past six without a channel, on the device too.
TEST_P (DialogLayouts, OneRowPerChannelOfTheChosenLayout)
{
    const auto& layout = SpeakerLayout::get (GetParam());
    const auto n = layout.numChannels;
    DialogFixture f ({studioInterface(), numberedInterface ("Immersive", "", 12)});
    f.openDialog();

    auto* layoutBox = f.panel().getLayoutBox();
    ASSERT_NE (layoutBox, nullptr);
    EXPECT_EQ (layoutBox->getText(), "5.1");
    EXPECT_EQ (layoutBox->getNumItems(), (int)SpeakerLayout::numLayouts);
    DialogFixture::chooseText (*layoutBox, layout.name);
    EXPECT_EQ (f.processor->getMeterLayout(), layout.id);
    DialogFixture::chooseText (*f.panel().getInputDeviceBox(), "Immersive");
    DialogFixture::chooseText (*f.panel().getOutputDeviceBox(), "Immersive");

    std::vector<int> expected;
    for (int i = 0; i < n; ++i)
        expected.push_back (i);

    for (auto* rows : {&f.inputs(), &f.outputs()})
    {
        const bool isInput = rows == &f.inputs();
        SCOPED_TRACE (isInput ? "inputs" : "outputs");
        EXPECT_EQ (rows->getNumRows(), n);
        // The rows stay inside the dialog.
        EXPECT_LE (f.selector->getLocalArea (rows, rows->getLocalBounds()).getBottom(), 610);

        for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
        {
            auto& box = rows->getChannelBox (i);
            EXPECT_EQ (box.isVisible(), i < n) << i;

            if (i >= n)
            {
                EXPECT_EQ (rows->getSelectedChannels()[i], -1) << i;
                continue;
            }

            EXPECT_TRUE (rows->getLocalBounds().contains (box.getBounds())) << i;
            EXPECT_TRUE (rows->getChannelLabel (i).getText().equalsIgnoreCase (layout.speakers[i].label))
                << i;
            EXPECT_EQ (box.getText(), (isInput ? "In " : "Out ") + juce::String (i + 1));

            if (i > 0)
            {
                EXPECT_GE (box.getY(), rows->getChannelBox (i - 1).getBottom()) << i;
            }
        }

        const auto setup = f.manager.getAudioDeviceSetup();
        EXPECT_EQ (setBits (isInput ? setup.inputChannels : setup.outputChannels), expected);
        const auto& setting = isInput ? f.processor->inputLayoutSetting : f.processor->outputLayoutSetting;
        auto all = expected;
        all.resize (SpeakerLayout::maxChannels, -1);
        EXPECT_EQ (entries (setting, SpeakerLayout::maxChannels), all);
    }

    EXPECT_EQ (entries (f.processor->outputChannelMap, (size_t)n), expected);

    DialogFixture::chooseText (*f.panel().getLayoutBox(), "5.1");
    EXPECT_EQ (f.inputs().getNumRows(), 6);
    EXPECT_EQ (entries (f.processor->inputLayoutSetting, SpeakerLayout::maxChannels),
               (std::vector<int>{0, 1, 2, 3, 4, 5, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ (setBits (f.manager.getAudioDeviceSetup().inputChannels), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE (f.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P (
    AudioSettingsDialog, DialogLayouts, ::testing::Range (0, (int)SpeakerLayout::numLayouts),
    [] (const auto& test)
    {
        return "layout" +
               juce::String (SpeakerLayout::get (test.param).name).removeCharacters (".").toStdString();
    });
