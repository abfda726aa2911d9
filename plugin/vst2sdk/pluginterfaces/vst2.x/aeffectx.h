// VST 2.4 interface for JUCE's VST wrapper and host, on the clean-room fst headers.
//
// fst declares VstEvents and VstSpeakerArrangement with flexible array members,
// while JUCE sizes both structs by their customary layout (two event pointers,
// eight speakers) and allocates only the entries beyond those. Taken as they
// are, every speaker-arrangement exchange and every MIDI event list would run
// past the end of its heap block. fst's declarations are therefore renamed on
// the way in, and the two structs are declared here in their customary layout.
#pragma once

// fst marks the members whose origin it has not documented as deprecated; JUCE
// uses several of them, so the marks would only bury real warnings.
#define FST_DONT_DEPRECATE_UNKNOWN

#define VstEvents TarnFstFlexibleVstEvents
#define VstSpeakerArrangement TarnFstFlexibleVstSpeakerArrangement
#include <pluginterfaces/fst/aeffectx.h>
#undef VstEvents
#undef VstSpeakerArrangement

typedef struct VstEvents
{
    int numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
} VstEvents;

typedef struct VstSpeakerArrangement
{
    int type;
    int numChannels;
    VstSpeakerProperties speakers[8];
} VstSpeakerArrangement;
