// VST 2.4 interface for JUCE's VST wrapper and host, on the clean-room fst headers.
//
// Two kinds of mending happen here; both keep fst's own declarations out of sight by renaming
// them on the way in (the names fst forms by token pasting are rescanned, so a macro of the
// same name catches them) and then declare the customary ones under the usual names.
//
// Layout. fst declares VstEvents and VstSpeakerArrangement with flexible array members,
// while JUCE sizes both structs by their customary layout (two event pointers, eight
// speakers) and allocates only the entries beyond those. Taken as they are, every
// speaker-arrangement exchange and every MIDI event list would run past the end of its heap
// block. fst's VstTimeInfo has two invented fields before samplesToNextClock and moves the
// SMPTE fields behind flags, past the end of the block a host hands over; VstPinProperties
// lacks its reserved tail.
//
// Values. The constants fst has not identified get placeholder values (100000 plus a line
// number, or 0 for flags), which no host ever sends or understands: the bypass switch, the
// tail query, "I/O changed", "update display", every surround arrangement and speaker type,
// the pin flags and the SMPTE frame rates. They are declared here with the values VST 2.4
// hosts use.
#pragma once

// fst marks the members whose origin it has not documented as deprecated; JUCE
// uses several of them, so the marks would only bury real warnings.
#define FST_DONT_DEPRECATE_UNKNOWN

#define VstEvents TarnFstVstEvents
#define VstSpeakerArrangement TarnFstVstSpeakerArrangement
#define VstTimeInfo TarnFstVstTimeInfo
#define VstPinProperties TarnFstVstPinProperties
#define VstSmpteFrameRate TarnFstVstSmpteFrameRate
#define AudioMasterOpcodesX TarnFstAudioMasterOpcodesX

#define audioMasterIdle TarnFst_audioMasterIdle
#define audioMasterPinConnected TarnFst_audioMasterPinConnected
#define audioMasterSetTime TarnFst_audioMasterSetTime
#define audioMasterGetNumAutomatableParameters TarnFst_audioMasterGetNumAutomatableParameters
#define audioMasterGetParameterQuantization TarnFst_audioMasterGetParameterQuantization
#define audioMasterIOChanged TarnFst_audioMasterIOChanged
#define audioMasterNeedIdle TarnFst_audioMasterNeedIdle
#define audioMasterGetInputLatency TarnFst_audioMasterGetInputLatency
#define audioMasterGetOutputLatency TarnFst_audioMasterGetOutputLatency
#define audioMasterGetPreviousPlug TarnFst_audioMasterGetPreviousPlug
#define audioMasterGetNextPlug TarnFst_audioMasterGetNextPlug
#define audioMasterWillReplaceOrAccumulate TarnFst_audioMasterWillReplaceOrAccumulate
#define audioMasterGetAutomationState TarnFst_audioMasterGetAutomationState
#define audioMasterOfflineStart TarnFst_audioMasterOfflineStart
#define audioMasterOfflineRead TarnFst_audioMasterOfflineRead
#define audioMasterOfflineWrite TarnFst_audioMasterOfflineWrite
#define audioMasterOfflineGetCurrentPass TarnFst_audioMasterOfflineGetCurrentPass
#define audioMasterOfflineGetCurrentMetaPass TarnFst_audioMasterOfflineGetCurrentMetaPass
#define audioMasterSetOutputSampleRate TarnFst_audioMasterSetOutputSampleRate
#define audioMasterGetOutputSpeakerArrangement TarnFst_audioMasterGetOutputSpeakerArrangement
#define audioMasterVendorSpecific TarnFst_audioMasterVendorSpecific
#define audioMasterSetIcon TarnFst_audioMasterSetIcon
#define audioMasterGetLanguage TarnFst_audioMasterGetLanguage
#define audioMasterOpenWindow TarnFst_audioMasterOpenWindow
#define audioMasterCloseWindow TarnFst_audioMasterCloseWindow
#define audioMasterGetDirectory TarnFst_audioMasterGetDirectory
#define audioMasterUpdateDisplay TarnFst_audioMasterUpdateDisplay
#define audioMasterOpenFileSelector TarnFst_audioMasterOpenFileSelector
#define audioMasterCloseFileSelector TarnFst_audioMasterCloseFileSelector
#define audioMasterEditFile TarnFst_audioMasterEditFile
#define audioMasterGetChunkFile TarnFst_audioMasterGetChunkFile
#define audioMasterGetInputSpeakerArrangement TarnFst_audioMasterGetInputSpeakerArrangement

#define effEditDraw TarnFst_effEditDraw
#define effEditMouse TarnFst_effEditMouse
#define effEditSleep TarnFst_effEditSleep
#define effEditTop TarnFst_effEditTop
#define effConnectInput TarnFst_effConnectInput
#define effConnectOutput TarnFst_effConnectOutput
#define effSetBypass TarnFst_effSetBypass
#define effGetTailSize TarnFst_effGetTailSize
#define effIdle TarnFst_effIdle
#define effKeysRequired TarnFst_effKeysRequired
#define effBeginSetProgram TarnFst_effBeginSetProgram
#define effEndSetProgram TarnFst_effEndSetProgram
#define effGetNumMidiInputChannels TarnFst_effGetNumMidiInputChannels
#define effGetNumMidiOutputChannels TarnFst_effGetNumMidiOutputChannels

#define kSpeakerArrStereoSurround TarnFst_kSpeakerArrStereoSurround
#define kSpeakerArrStereoCenter TarnFst_kSpeakerArrStereoCenter
#define kSpeakerArrStereoSide TarnFst_kSpeakerArrStereoSide
#define kSpeakerArrStereoCLfe TarnFst_kSpeakerArrStereoCLfe
#define kSpeakerArr30Cine TarnFst_kSpeakerArr30Cine
#define kSpeakerArr30Music TarnFst_kSpeakerArr30Music
#define kSpeakerArr31Cine TarnFst_kSpeakerArr31Cine
#define kSpeakerArr31Music TarnFst_kSpeakerArr31Music
#define kSpeakerArr40Cine TarnFst_kSpeakerArr40Cine
#define kSpeakerArr40Music TarnFst_kSpeakerArr40Music
#define kSpeakerArr41Cine TarnFst_kSpeakerArr41Cine
#define kSpeakerArr41Music TarnFst_kSpeakerArr41Music
#define kSpeakerArr50 TarnFst_kSpeakerArr50
#define kSpeakerArr51 TarnFst_kSpeakerArr51
#define kSpeakerArr60Cine TarnFst_kSpeakerArr60Cine
#define kSpeakerArr60Music TarnFst_kSpeakerArr60Music
#define kSpeakerArr61Cine TarnFst_kSpeakerArr61Cine
#define kSpeakerArr61Music TarnFst_kSpeakerArr61Music
#define kSpeakerArr70Cine TarnFst_kSpeakerArr70Cine
#define kSpeakerArr70Music TarnFst_kSpeakerArr70Music
#define kSpeakerArr71Cine TarnFst_kSpeakerArr71Cine
#define kSpeakerArr71Music TarnFst_kSpeakerArr71Music
#define kSpeakerArr80Cine TarnFst_kSpeakerArr80Cine
#define kSpeakerArr80Music TarnFst_kSpeakerArr80Music
#define kSpeakerArr81Cine TarnFst_kSpeakerArr81Cine
#define kSpeakerArr81Music TarnFst_kSpeakerArr81Music

#define kSpeakerC TarnFst_kSpeakerC
#define kSpeakerLfe TarnFst_kSpeakerLfe
#define kSpeakerLs TarnFst_kSpeakerLs
#define kSpeakerRs TarnFst_kSpeakerRs
#define kSpeakerLc TarnFst_kSpeakerLc
#define kSpeakerRc TarnFst_kSpeakerRc
#define kSpeakerS TarnFst_kSpeakerS
#define kSpeakerSl TarnFst_kSpeakerSl
#define kSpeakerSr TarnFst_kSpeakerSr
#define kSpeakerTm TarnFst_kSpeakerTm
#define kSpeakerTfl TarnFst_kSpeakerTfl
#define kSpeakerTfc TarnFst_kSpeakerTfc
#define kSpeakerTfr TarnFst_kSpeakerTfr
#define kSpeakerTrl TarnFst_kSpeakerTrl
#define kSpeakerTrc TarnFst_kSpeakerTrc
#define kSpeakerTrr TarnFst_kSpeakerTrr
#define kSpeakerLfe2 TarnFst_kSpeakerLfe2
#define kSpeakerUndefined TarnFst_kSpeakerUndefined

#define kVstAutomationReading TarnFst_kVstAutomationReading
#define kVstAutomationWriting TarnFst_kVstAutomationWriting
#define kVstPinIsActive TarnFst_kVstPinIsActive
#define kVstPinUseSpeaker TarnFst_kVstPinUseSpeaker
#define kVstPinIsStereo TarnFst_kVstPinIsStereo
#define kVstSmpte24fps TarnFst_kVstSmpte24fps
#define kVstSmpte25fps TarnFst_kVstSmpte25fps
#define kVstSmpte2997fps TarnFst_kVstSmpte2997fps
#define kVstSmpte30fps TarnFst_kVstSmpte30fps
#define kVstSmpte2997dfps TarnFst_kVstSmpte2997dfps
#define kVstSmpte30dfps TarnFst_kVstSmpte30dfps
#define kVstSmpteFilm16mm TarnFst_kVstSmpteFilm16mm
#define kVstSmpteFilm35mm TarnFst_kVstSmpteFilm35mm
#define kVstSmpte239fps TarnFst_kVstSmpte239fps
#define kVstSmpte249fps TarnFst_kVstSmpte249fps
#define kVstSmpte599fps TarnFst_kVstSmpte599fps
#define kVstSmpte60fps TarnFst_kVstSmpte60fps
#define kVstProcessLevelUser TarnFst_kVstProcessLevelUser
#define kVstLangEnglish TarnFst_kVstLangEnglish

#include <pluginterfaces/fst/aeffectx.h>

#undef VstEvents
#undef VstSpeakerArrangement
#undef VstTimeInfo
#undef VstPinProperties
#undef VstSmpteFrameRate
#undef AudioMasterOpcodesX

#undef audioMasterIdle
#undef audioMasterPinConnected
#undef audioMasterSetTime
#undef audioMasterGetNumAutomatableParameters
#undef audioMasterGetParameterQuantization
#undef audioMasterIOChanged
#undef audioMasterNeedIdle
#undef audioMasterGetInputLatency
#undef audioMasterGetOutputLatency
#undef audioMasterGetPreviousPlug
#undef audioMasterGetNextPlug
#undef audioMasterWillReplaceOrAccumulate
#undef audioMasterGetAutomationState
#undef audioMasterOfflineStart
#undef audioMasterOfflineRead
#undef audioMasterOfflineWrite
#undef audioMasterOfflineGetCurrentPass
#undef audioMasterOfflineGetCurrentMetaPass
#undef audioMasterSetOutputSampleRate
#undef audioMasterGetOutputSpeakerArrangement
#undef audioMasterVendorSpecific
#undef audioMasterSetIcon
#undef audioMasterGetLanguage
#undef audioMasterOpenWindow
#undef audioMasterCloseWindow
#undef audioMasterGetDirectory
#undef audioMasterUpdateDisplay
#undef audioMasterOpenFileSelector
#undef audioMasterCloseFileSelector
#undef audioMasterEditFile
#undef audioMasterGetChunkFile
#undef audioMasterGetInputSpeakerArrangement

#undef effEditDraw
#undef effEditMouse
#undef effEditSleep
#undef effEditTop
#undef effConnectInput
#undef effConnectOutput
#undef effSetBypass
#undef effGetTailSize
#undef effIdle
#undef effKeysRequired
#undef effBeginSetProgram
#undef effEndSetProgram
#undef effGetNumMidiInputChannels
#undef effGetNumMidiOutputChannels

#undef kSpeakerArrStereoSurround
#undef kSpeakerArrStereoCenter
#undef kSpeakerArrStereoSide
#undef kSpeakerArrStereoCLfe
#undef kSpeakerArr30Cine
#undef kSpeakerArr30Music
#undef kSpeakerArr31Cine
#undef kSpeakerArr31Music
#undef kSpeakerArr40Cine
#undef kSpeakerArr40Music
#undef kSpeakerArr41Cine
#undef kSpeakerArr41Music
#undef kSpeakerArr50
#undef kSpeakerArr51
#undef kSpeakerArr60Cine
#undef kSpeakerArr60Music
#undef kSpeakerArr61Cine
#undef kSpeakerArr61Music
#undef kSpeakerArr70Cine
#undef kSpeakerArr70Music
#undef kSpeakerArr71Cine
#undef kSpeakerArr71Music
#undef kSpeakerArr80Cine
#undef kSpeakerArr80Music
#undef kSpeakerArr81Cine
#undef kSpeakerArr81Music

#undef kSpeakerC
#undef kSpeakerLfe
#undef kSpeakerLs
#undef kSpeakerRs
#undef kSpeakerLc
#undef kSpeakerRc
#undef kSpeakerS
#undef kSpeakerSl
#undef kSpeakerSr
#undef kSpeakerTm
#undef kSpeakerTfl
#undef kSpeakerTfc
#undef kSpeakerTfr
#undef kSpeakerTrl
#undef kSpeakerTrc
#undef kSpeakerTrr
#undef kSpeakerLfe2
#undef kSpeakerUndefined

#undef kVstAutomationReading
#undef kVstAutomationWriting
#undef kVstPinIsActive
#undef kVstPinUseSpeaker
#undef kVstPinIsStereo
#undef kVstSmpte24fps
#undef kVstSmpte25fps
#undef kVstSmpte2997fps
#undef kVstSmpte30fps
#undef kVstSmpte2997dfps
#undef kVstSmpte30dfps
#undef kVstSmpteFilm16mm
#undef kVstSmpteFilm35mm
#undef kVstSmpte239fps
#undef kVstSmpte249fps
#undef kVstSmpte599fps
#undef kVstSmpte60fps
#undef kVstProcessLevelUser
#undef kVstLangEnglish

// Host opcodes are passed as plain integers; JUCE only stores them in variables of this type.
typedef VstInt32 AudioMasterOpcodesX;

enum
{
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterSetTime = 9,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterVendorSpecific = 35,
    audioMasterSetIcon = 36,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterEditFile = 47,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement = 49
};

enum
{
    effEditDraw = 16,
    effEditMouse = 17,
    effEditTop = 20,
    effEditSleep = 21,
    effConnectInput = 31,
    effConnectOutput = 32,
    effSetBypass = 44,
    effGetTailSize = 52,
    effIdle = 53,
    effKeysRequired = 57,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79
};

enum
{
    kSpeakerArrStereoSurround = 2,
    kSpeakerArrStereoCenter = 3,
    kSpeakerArrStereoSide = 4,
    kSpeakerArrStereoCLfe = 5,
    kSpeakerArr30Cine = 6,
    kSpeakerArr30Music = 7,
    kSpeakerArr31Cine = 8,
    kSpeakerArr31Music = 9,
    kSpeakerArr40Cine = 10,
    kSpeakerArr40Music = 11,
    kSpeakerArr41Cine = 12,
    kSpeakerArr41Music = 13,
    kSpeakerArr50 = 14,
    kSpeakerArr51 = 15,
    kSpeakerArr60Cine = 16,
    kSpeakerArr60Music = 17,
    kSpeakerArr61Cine = 18,
    kSpeakerArr61Music = 19,
    kSpeakerArr70Cine = 20,
    kSpeakerArr70Music = 21,
    kSpeakerArr71Cine = 22,
    kSpeakerArr71Music = 23,
    kSpeakerArr80Cine = 24,
    kSpeakerArr80Music = 25,
    kSpeakerArr81Cine = 26,
    kSpeakerArr81Music = 27
};

enum
{
    kSpeakerC = 3,
    kSpeakerLfe = 4,
    kSpeakerLs = 5,
    kSpeakerRs = 6,
    kSpeakerLc = 7,
    kSpeakerRc = 8,
    kSpeakerS = 9,
    kSpeakerSl = 10,
    kSpeakerSr = 11,
    kSpeakerTm = 12,
    kSpeakerTfl = 13,
    kSpeakerTfc = 14,
    kSpeakerTfr = 15,
    kSpeakerTrl = 16,
    kSpeakerTrc = 17,
    kSpeakerTrr = 18,
    kSpeakerLfe2 = 19,
    kSpeakerUndefined = 0x7fffffff
};

enum
{
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
    kVstProcessLevelUser = 1,
    kVstLangEnglish = 1
};

typedef enum
{
    kVstSmpte24fps = 0,
    kVstSmpte25fps = 1,
    kVstSmpte2997fps = 2,
    kVstSmpte30fps = 3,
    kVstSmpte2997dfps = 4,
    kVstSmpte30dfps = 5,
    kVstSmpteFilm16mm = 6,
    kVstSmpteFilm35mm = 7,
    kVstSmpte239fps = 10,
    kVstSmpte249fps = 11,
    kVstSmpte599fps = 12,
    kVstSmpte60fps = 13
} VstSmpteFrameRate;

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

typedef struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags;
} VstTimeInfo;

typedef struct VstPinProperties
{
    char label[64];
    VstInt32 flags;
    VstInt32 arrangementType;
    char shortLabel[8];
    char future[48];
} VstPinProperties;
