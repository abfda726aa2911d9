#pragma once

#include "MeasureOptions.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <vector>

// How the channels of an input are laid into the meter's block, in which arrangement of the
// meter's channels, and which "Surround layout" order the processor then applies to that block.
//
// Automatic placement puts each channel straight at its place in the arrangement's order
// (5.1: L R C LFE Ls Rs; 7.1.4: L R C LFE Lss Rss Lrs Rrs Ltf Rtf Ltr Rtr) and leaves the
// processor on the ITU order. The itu, c24 and dts choices hand a 6-channel file's channels over
// as they are and let the processor reorder them.
//
// A WAVE speaker mask or FFmpeg layout with one surround pair (back or side) has it as the 5.1
// surrounds at 110°; with both, the side pair is at 90° and the back pair at 135° (7.1). Upper
// front and back speakers make the .2 and .4 arrangements.
class InputLayout
{
public:
    // For each channel of the input, the channel of the block it is read into.
    std::vector<int> blockChannels;
    // The "Surround layout" choice the processor is to apply: 0 ITU, 1 C|24, 2 DTS.
    int surroundLayoutChoice = 0;
    // The arrangement of the block (a SpeakerLayout id); the block has its channel count.
    int meterLayout = SpeakerLayout::surround51;

    // Works out the layout for an opened input. Fails, with the reason, for channel counts
    // and channel layouts that the meter does not measure.
    static juce::Result forReader (juce::AudioFormatReader& reader, MeasureOptions::Layout layout,
                                   InputLayout& result, SpeakerLayout::Named named = {});

    // The same from what a reader tells: its channel count, the WAVE_FORMAT_EXTENSIBLE channel
    // mask (0 when the file has none) and whether it is Ogg Vorbis, whose 5- and 6-channel
    // order is fixed by the format (L C R Ls Rs, L C R Ls Rs LFE).
    static juce::Result forChannels (int numChannels, juce::uint32 channelMask, bool isVorbis,
                                     MeasureOptions::Layout layout, InputLayout& result,
                                     SpeakerLayout::Named named = {});

    // The same from the speaker of each channel, in channel order (WAVE speaker bits, 0 for a
    // channel with no position); empty speakers say nothing and the count decides. Unlike a
    // mask, the speakers may come in any order (channel labels of MOV and MXF files).
    // `named` is the arrangement of Layout::named.
    static juce::Result forSpeakers (int numChannels, const std::vector<juce::uint32>& speakers,
                                     MeasureOptions::Layout layout, InputLayout& result,
                                     SpeakerLayout::Named named = {});
};
