#pragma once

#include <cstdint>

// The VST 2.4 binary interface as a host sees it, declared here on its own (not taken from the
// headers the plug-in is built with), so that the host checks the plug-in against the numbers
// and layouts real hosts use. Only what this host needs.
namespace Vst2Abi
{
using IntPtr = std::intptr_t;

struct Effect;

using Dispatcher = IntPtr (*) (Effect*, std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                               float opt);
using Process = void (*) (Effect*, float** inputs, float** outputs, std::int32_t sampleFrames);
using ProcessDouble = void (*) (Effect*, double** inputs, double** outputs, std::int32_t sampleFrames);
using SetParameter = void (*) (Effect*, std::int32_t index, float value);
using GetParameter = float (*) (Effect*, std::int32_t index);
using HostCallback = IntPtr (*) (Effect*, std::int32_t opcode, std::int32_t index, IntPtr value, void* ptr,
                                 float opt);
using MainEntry = Effect* (*)(HostCallback);

struct Effect
{
    std::int32_t magic;
    Dispatcher dispatcher;
    Process process;
    SetParameter setParameter;
    GetParameter getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    IntPtr reserved1;
    IntPtr reserved2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    Process processReplacing;
    ProcessDouble processDoubleReplacing;
    char future[56];
};

constexpr std::int32_t effectMagic = 0x56737450; // 'VstP'

enum EffectFlags : std::int32_t
{
    flagHasEditor = 1 << 0,
    flagCanReplacing = 1 << 4,
    flagProgramChunks = 1 << 5,
    flagIsSynth = 1 << 8,
    flagNoSoundInStop = 1 << 9,
    flagCanDoubleReplacing = 1 << 12
};

enum EffectOpcodes : std::int32_t
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effCanBeAutomated = 26,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetVstVersion = 58,
    effGetSpeakerArrangement = 69,
    effStartProcess = 71,
    effStopProcess = 72,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79
};

enum HostOpcodes : std::int32_t
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44
};

enum ProcessLevels : std::int32_t
{
    processLevelRealtime = 2,
    processLevelOffline = 4
};

constexpr std::int32_t plugCategoryEffect = 1;

enum SpeakerArrangementTypes : std::int32_t
{
    speakerArrEmpty = -1,
    speakerArrMono = 0,
    speakerArrStereo = 1,
    speakerArr30Music = 7,
    speakerArr40Music = 11,
    speakerArr50 = 14,
    speakerArr51 = 15,
    speakerArr60Cine = 16,
    speakerArr71Cine = 22
};

enum SpeakerTypes : std::int32_t
{
    speakerM = 0,
    speakerL = 1,
    speakerR = 2,
    speakerC = 3,
    speakerLfe = 4,
    speakerLs = 5,
    speakerRs = 6,
    speakerCs = 9,
    speakerSl = 10,
    speakerSr = 11
};

struct SpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    std::int32_t type;
    char future[28];
};

struct SpeakerArrangement
{
    std::int32_t type;
    std::int32_t numChannels;
    SpeakerProperties speakers[8];
};

enum PinFlags : std::int32_t
{
    pinIsActive = 1 << 0,
    pinIsStereo = 1 << 1,
    pinUseSpeaker = 1 << 2
};

struct PinProperties
{
    char label[64];
    std::int32_t flags;
    std::int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

enum TimeInfoFlags : std::int32_t
{
    transportChanged = 1 << 0,
    transportPlaying = 1 << 1,
    nanosValid = 1 << 8,
    ppqPosValid = 1 << 9,
    tempoValid = 1 << 10,
    barsValid = 1 << 11,
    timeSigValid = 1 << 13,
    smpteValid = 1 << 14
};

enum SmpteFrameRates : std::int32_t
{
    smpte24fps = 0,
    smpte25fps = 1,
    smpte30fps = 3
};

struct TimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    std::int32_t smpteOffset;
    std::int32_t smpteFrameRate;
    std::int32_t samplesToNextClock;
    std::int32_t flags;
};

struct Rect
{
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

static_assert (sizeof (Effect) == 192, "customary 64-bit effect record");
static_assert (sizeof (SpeakerProperties) == 112, "customary speaker properties");
static_assert (sizeof (TimeInfo) == 88, "customary time info");
} // namespace Vst2Abi
