#include "RawVst2Host.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <X11/Xlib.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

// The VST 2.4 build of the meter in a host of our own on the raw interface, on Linux and, built
// for Windows, under Wine. The plug-in's path comes from the build (TARN_VST_PLUGIN).
namespace
{
using namespace Vst2Abi;

constexpr std::int32_t fourCharCode (const char (&code)[5])
{
    return (std::int32_t (code[0]) << 24) | (std::int32_t (code[1]) << 16) | (std::int32_t (code[2]) << 8) |
           std::int32_t (code[3]);
}

const char* const parameterNames[] = {"Measurement Standard", "Measurement Scale",   "Measurement Unit",
                                      "Measurement Type",     "Follow Transport",    "Surround layout",
                                      "TruePeak Ref Level",   "TruePeak Max Level",  "TruePeak Hold Time",
                                      "TruePeak Over Time",   "Histogram Loudness",  "ML Threshold",
                                      "STL Threshold",        "Mom. Loudness Param", "Sht. Loudness Param"};

// Defaults normalised over each range.
const float parameterDefaults[] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 11.0f / 12.0f,
                                   0.3f, 0.3f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f};

constexpr int momentaryOutput = 13;
constexpr int shortTermOutput = 14;

Vst2Library& library()
{
    static Vst2Library lib (TARN_VST_PLUGIN);
    return lib;
}

class RawVst2Host : public testing::Test
{
protected:
    void SetUp() override { ASSERT_NE (library().entry(), nullptr) << library().error(); }

    std::unique_ptr<Vst2Instance> create()
    {
        auto instance = std::make_unique<Vst2Instance> (library().entry());
        EXPECT_TRUE (instance->isValid());
        return instance;
    }
};

TEST_F (RawVst2Host, HostVersionZeroGetsNoPlugin)
{
    Vst2Instance refused (library().entry(), 0);
    EXPECT_FALSE (refused.isValid());
}

TEST_F (RawVst2Host, EffectRecordAnnouncesTheMeter)
{
    auto plugin = create();
    auto* e = plugin->get();
    EXPECT_EQ (e->magic, effectMagic);
    EXPECT_EQ (e->uniqueID, fourCharCode ("Tr51"));
    // The version's digits, 203 for 2.0.3.
    EXPECT_EQ (e->version, TARN_VERSION_MAJOR * 100 + TARN_VERSION_MINOR * 10 + TARN_VERSION_PATCH);
    EXPECT_EQ (e->numInputs, 6);
    EXPECT_EQ (e->numOutputs, 6);
    EXPECT_EQ (e->numParams, 15);
    EXPECT_EQ (e->numPrograms, 3);
    EXPECT_EQ (e->initialDelay, 0);
    EXPECT_NE (e->flags & flagHasEditor, 0);
    EXPECT_NE (e->flags & flagCanReplacing, 0);
    EXPECT_NE (e->flags & flagProgramChunks, 0);
    EXPECT_NE (e->flags & flagNoSoundInStop, 0);
    EXPECT_EQ (e->flags & flagIsSynth, 0);
    EXPECT_NE (e->processReplacing, nullptr);
}

TEST_F (RawVst2Host, NamesVendorVersionAndCategory)
{
    auto plugin = create();
    EXPECT_EQ (plugin->text (effGetEffectName), "Tarn5.1");
    EXPECT_EQ (plugin->text (effGetProductString), "Tarn5.1");
    EXPECT_EQ (plugin->text (effGetVendorString), "Velnor");
    // The product's version, one byte each, 0x20003 for 2.0.3, as hosts that list a VST 2.4
    // plug-in's version decode it (Ardour 7.3's scanner asks for none and lists it blank).
    EXPECT_EQ (plugin->dispatch (effGetVendorVersion),
               (TARN_VERSION_MAJOR << 16) | (TARN_VERSION_MINOR << 8) | TARN_VERSION_PATCH);
    EXPECT_EQ (plugin->dispatch (effGetVstVersion), 2400);
    EXPECT_EQ (plugin->dispatch (effGetPlugCategory), plugCategoryEffect);
    EXPECT_EQ (plugin->dispatch (effGetNumMidiInputChannels), 0);
    EXPECT_EQ (plugin->dispatch (effGetNumMidiOutputChannels), 0);
    plugin->start (48000.0, 512, false);
    EXPECT_EQ (plugin->dispatch (effGetTailSize), 0);
}

TEST_F (RawVst2Host, CanDoAnswers)
{
    auto plugin = create();
    for (auto* yes : {"receiveVstTimeInfo", "conformsToWindowRules", "bypass"})
        EXPECT_EQ (plugin->canDo (yes), 1) << yes;
    for (auto* no : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents", "sendVstEvents",
                     "sendVstMidiEvent", "sendVstMidiEvents", "openCloseAnyThread"})
        EXPECT_EQ (plugin->canDo (no), -1) << no;
    for (auto* other : {"offline", "noRealTime", "midiProgramNames", "MPE", "plugAsChannelInsert", "x"})
        EXPECT_EQ (plugin->canDo (other), 0) << other;

    // JUCE's wrapper answers two more itself, before it consults the processor.
    EXPECT_EQ (plugin->canDo ("supportsViewDpiScaling"), 1);
    EXPECT_EQ (plugin->canDo ("hasCockosExtensions"), static_cast<std::int32_t> (0xbeef0000));
}

TEST_F (RawVst2Host, PinsAreActiveSpeakerChannels)
{
    auto plugin = create();
    for (auto opcode : {effGetInputProperties, effGetOutputProperties})
        for (int i = 0; i < 6; ++i)
        {
            PinProperties pin{};
            EXPECT_EQ (plugin->dispatch (opcode, i, 0, &pin), 1);
            EXPECT_NE (pin.flags & pinIsActive, 0);
            EXPECT_NE (pin.flags & pinUseSpeaker, 0);
            EXPECT_EQ (pin.arrangementType, speakerArr51);
            EXPECT_GT (std::strlen (pin.label), 0u);
        }
    // Left-hand channels open a stereo pair (JUCE marks L and Ls).
    PinProperties left{};
    plugin->dispatch (effGetInputProperties, 0, 0, &left);
    EXPECT_NE (left.flags & pinIsStereo, 0);
}

// Every arrangement is read back in full from the plug-in's memory: AddressSanitizer stops
// the test if the plug-in's block holds fewer speakers than it claims.
void expectArrangement (Vst2Instance& plugin, std::int32_t type, std::int32_t numChannels,
                        const std::vector<std::int32_t>& speakerTypes)
{
    SpeakerArrangement* in = nullptr;
    SpeakerArrangement* out = nullptr;
    ASSERT_EQ (plugin.dispatch (effGetSpeakerArrangement, 0, reinterpret_cast<IntPtr> (&in), &out), 1);
    ASSERT_NE (in, nullptr);
    ASSERT_NE (out, nullptr);
    for (auto* arrangement : {in, out})
    {
        EXPECT_EQ (arrangement->type, type);
        ASSERT_EQ (arrangement->numChannels, numChannels);
        for (int i = 0; i < numChannels; ++i)
        {
            std::int32_t speakerType = 0;
            std::memcpy (&speakerType, &arrangement->speakers[i].type, sizeof (speakerType));
            if (!speakerTypes.empty())
            {
                EXPECT_EQ (speakerType, speakerTypes[static_cast<size_t> (i)]) << "speaker " << i;
            }
        }
    }
}

TEST_F (RawVst2Host, AcceptsTheFourChannelConfigurationsAndRefusesOthers)
{
    auto plugin = create();

    // The default layout is the first configuration, 5.1 in and out.
    expectArrangement (*plugin, speakerArr51, 6,
                       {speakerL, speakerR, speakerC, speakerLfe, speakerLs, speakerRs});

    struct Request
    {
        std::int32_t type, count;
    };
    for (auto request : {Request{speakerArr51, 6}, Request{speakerArr60Cine, 6}, Request{speakerArr50, 5},
                         Request{speakerArrStereo, 2}, Request{speakerArrMono, 1}})
    {
        EXPECT_EQ (plugin->setArrangement (request.type, request.count, request.type, request.count), 1)
            << "type " << request.type;
        expectArrangement (*plugin, request.type, request.count, {});
    }
    // JUCE's speaker mapping puts a mono channel at the centre.
    expectArrangement (*plugin, speakerArrMono, 1, {speakerC});

    plugin->setArrangement (speakerArr50, 5, speakerArr50, 5);
    expectArrangement (*plugin, speakerArr50, 5, {speakerL, speakerR, speakerC, speakerLs, speakerRs});

    struct Refused
    {
        std::int32_t inType, ins, outType, outs;
    };
    for (auto r :
         {Refused{speakerArr51, 6, speakerArrStereo, 2}, Refused{speakerArrStereo, 2, speakerArr51, 6},
          Refused{speakerArr40Music, 4, speakerArr40Music, 4},
          Refused{speakerArr30Music, 3, speakerArr30Music, 3},
          Refused{speakerArr71Cine, 8, speakerArr71Cine, 8}, Refused{speakerArr51, 2, speakerArr51, 2}})
        EXPECT_EQ (plugin->setArrangement (r.inType, r.ins, r.outType, r.outs), 0)
            << r.inType << "/" << r.ins << " -> " << r.outType << "/" << r.outs;

    // A refusal leaves the last accepted layout in place.
    expectArrangement (*plugin, speakerArr50, 5, {});
}

TEST_F (RawVst2Host, FifteenParametersWithNamesDefaultsAndAutomation)
{
    auto plugin = create();
    for (int i = 0; i < 15; ++i)
    {
        EXPECT_EQ (plugin->text (effGetParamName, i), parameterNames[i]) << i;
        EXPECT_NEAR (plugin->parameter (i), parameterDefaults[i], 1.0e-6f) << parameterNames[i];
        const bool automatable = i == 7 || i == momentaryOutput || i == shortTermOutput;
        EXPECT_EQ (plugin->dispatch (effCanBeAutomated, i), automatable ? 1 : 0) << parameterNames[i];
    }
    EXPECT_EQ (plugin->text (effGetParamDisplay, 7), "0.92");

    plugin->setParameter (11, 0.5f);
    EXPECT_FLOAT_EQ (plugin->parameter (11), 0.5f);
    EXPECT_EQ (plugin->text (effGetParamDisplay, 11), "0.50");
    plugin->setParameter (11, 1.5f);
    EXPECT_FLOAT_EQ (plugin->parameter (11), 1.0f);
}

TEST_F (RawVst2Host, ThreeProgramsNamedAfterTheStandards)
{
    auto plugin = create();
    const char* names[] = {"EBU", "ATSC", "ARIB"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (plugin->text (effGetProgramNameIndexed, i), names[i]);

    plugin->dispatch (effSetProgram, 0, 1);
    EXPECT_EQ (plugin->dispatch (effGetProgram), 1);
    EXPECT_EQ (plugin->text (effGetProgramName), "ATSC");
    EXPECT_NEAR (plugin->parameter (7), 10.0f / 12.0f, 1.0e-6f); // -2 dBTP
    EXPECT_NEAR (plugin->parameter (11), 1.0f, 1.0e-6f);         // -10

    plugin->dispatch (effSetProgram, 0, 0);
    EXPECT_NEAR (plugin->parameter (11), 0.75f, 1.0e-6f); // EBU: -15
    EXPECT_NEAR (plugin->parameter (12), 0.6f, 1.0e-6f);  // EBU: -18
}

TEST_F (RawVst2Host, StateChunkRoundTrip)
{
    auto plugin = create();
    plugin->setParameter (11, 0.25f);
    plugin->setParameter (5, 1.0f);
    plugin->setParameter (7, 0.5f);
    const auto saved = plugin->getChunk();
    ASSERT_GT (saved.size(), 9u);
    EXPECT_EQ (saved[0], 0x56);
    EXPECT_EQ (saved[1], 0x43);
    EXPECT_EQ (saved[2], 0x32);
    EXPECT_EQ (saved[3], 0x21);
    const std::string text (saved.begin() + 8, saved.end() - 1);
    EXPECT_EQ (text.rfind ("<MYPLUGINSETTINGS ", 0), 0u) << text;
    EXPECT_EQ (saved.back(), 0);

    plugin->setParameter (11, 1.0f);
    plugin->setParameter (5, 0.0f);
    plugin->setChunk (saved);
    EXPECT_FLOAT_EQ (plugin->parameter (11), 0.25f);
    EXPECT_FLOAT_EQ (plugin->parameter (5), 1.0f);
    EXPECT_FLOAT_EQ (plugin->parameter (7), 0.5f);

    // Into a new instance, and the program chunk (index 1) carries the same settings.
    auto other = create();
    other->setChunk (plugin->getChunk (1), 1);
    EXPECT_FLOAT_EQ (other->parameter (11), 0.25f);
    EXPECT_EQ (other->getChunk(), saved);

    // Bytes that are no state change nothing.
    other->setChunk ({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_FLOAT_EQ (other->parameter (11), 0.25f);
}

// Block patterns: fixed sizes, and sizes that change from block to block.
const std::vector<std::vector<int>> blockPatterns = {
    {1}, {64}, {511}, {4096}, {1, 7, 64, 100, 511, 13, 4096, 2}};

TEST_F (RawVst2Host, AudioPassesUnchangedAtEveryRateAndBlockSize)
{
    for (double rate : {44100.0, 48000.0, 96000.0})
        for (const auto& pattern : blockPatterns)
        {
            auto plugin = create();
            plugin->start (rate, 4096, false);
            Vst2AudioBuffers audio (6, static_cast<int> (rate / 4), 7u, 0.5f);
            audio.run (*plugin, pattern, 6, 6, false);
            for (int c = 0; c < 6; ++c)
                EXPECT_TRUE (audio.outputEqualsInput (c))
                    << rate << " Hz, block " << pattern[0] << ", channel " << c;
        }
}

TEST_F (RawVst2Host, AudioPassesUnchangedInPlaceAndInSmallerLayouts)
{
    auto plugin = create();
    plugin->start (48000.0, 1024, false);
    Vst2AudioBuffers audio (6, 48000, 11u, 0.9f);
    audio.run (*plugin, {1024, 333}, 6, 6, true);
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE (audio.outputEqualsInput (c)) << "in place, channel " << c;
    plugin->stop();

    struct Layout
    {
        std::int32_t type, count;
    };
    for (auto layout : {Layout{speakerArr50, 5}, Layout{speakerArrStereo, 2}, Layout{speakerArrMono, 1}})
    {
        ASSERT_EQ (plugin->setArrangement (layout.type, layout.count, layout.type, layout.count), 1);
        plugin->start (44100.0, 512, false);
        const int ins = plugin->get()->numInputs;
        const int outs = plugin->get()->numOutputs;
        EXPECT_GE (ins, layout.count);
        Vst2AudioBuffers small (std::max (ins, outs), 22050, 13u, 0.5f);
        small.run (*plugin, {512, 100}, ins, outs, false);
        for (int c = 0; c < layout.count; ++c)
            EXPECT_TRUE (small.outputEqualsInput (c)) << layout.count << " channels, channel " << c;
        plugin->stop();
    }
}

// Offline processing measures every window inside processReplacing, so the loudness output
// parameters show at once whether the meter ran.
TEST_F (RawVst2Host, BypassPassesAudioAndMeasuresNothing)
{
    auto plugin = create();
    ASSERT_EQ (plugin->dispatch (effSetBypass, 0, 1), 1);
    plugin->start (48000.0, 512, true);
    Vst2AudioBuffers loud (6, 48000, 3u, 0.5f);
    loud.run (*plugin, {512}, 6, 6, false);
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE (loud.outputEqualsInput (c)) << "bypassed, channel " << c;
    EXPECT_EQ (plugin->parameter (momentaryOutput), 0.0f);
    EXPECT_EQ (plugin->automateCallsPerParameter[momentaryOutput].load(), 0);

    // Four seconds: the first short-term value needs three.
    plugin->dispatch (effSetBypass, 0, 0);
    for (int second = 0; second < 4; ++second)
    {
        loud.run (*plugin, {512}, 6, 6, false);
        for (int c = 0; c < 6; ++c)
            EXPECT_TRUE (loud.outputEqualsInput (c)) << "measuring, channel " << c;
    }
    EXPECT_GT (plugin->parameter (momentaryOutput), 0.0f);
    EXPECT_GT (plugin->parameter (shortTermOutput), 0.0f);
    EXPECT_GT (plugin->automateCallsPerParameter[momentaryOutput].load(), 0);
    EXPECT_NEAR (plugin->lastAutomatedValue[momentaryOutput].load(), plugin->parameter (momentaryOutput),
                 1.0e-6f);
}

TEST_F (RawVst2Host, TransportInfoIsRead)
{
    auto plugin = create();
    plugin->timeInfo.flags |= transportPlaying | transportChanged | smpteValid | ppqPosValid;
    plugin->timeInfo.smpteFrameRate = smpte25fps;
    plugin->start (48000.0, 256, true);
    Vst2AudioBuffers audio (6, 48000, 5u, 0.3f);
    audio.run (*plugin, {256}, 6, 6, false);
    EXPECT_GT (plugin->timeInfoRequests.load(), 0);
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE (audio.outputEqualsInput (c));
}

TEST_F (RawVst2Host, AutomationFromTheHostWhileAudioRuns)
{
    auto plugin = create();
    plugin->start (48000.0, 256, false);
    std::atomic<bool> done{false};
    std::thread automation (
        [&]
        {
            for (int round = 0; round < 20; ++round)
                for (int i = 0; i < 15; ++i)
                    for (int step = 0; step <= 10; ++step)
                    {
                        plugin->setParameter (i, static_cast<float> (step) / 10.0f);
                        (void)plugin->parameter (i);
                    }
            done = true;
        });
    Vst2AudioBuffers audio (6, 48000, 17u, 0.7f);
    int passes = 0;
    int changedPasses = 0;
    while (!done || passes == 0)
    {
        audio.run (*plugin, {256, 31}, 6, 6, false);
        for (int c = 0; c < 6; ++c)
            if (!audio.outputEqualsInput (c))
                ++changedPasses;
        ++passes;
    }
    automation.join();
    EXPECT_EQ (changedPasses, 0) << "of " << passes << " passes";
}

TEST_F (RawVst2Host, TenInstancesInARowAndTwoAtOnce)
{
    for (int i = 0; i < 10; ++i)
    {
        auto plugin = create();
        plugin->start (44100.0 + 100.0 * i, 128, false);
        Vst2AudioBuffers audio (6, 4410, static_cast<unsigned> (i), 0.5f);
        audio.run (*plugin, {128}, 6, 6, false);
        EXPECT_TRUE (audio.outputEqualsInput (0));
    }

    auto first = create();
    auto second = create();
    first->start (48000.0, 256, false);
    second->start (96000.0, 100, true);
    first->setParameter (11, 0.0f);
    second->setParameter (11, 1.0f);
    Vst2AudioBuffers a (6, 48000, 1u, 0.5f), b (6, 96000, 2u, 0.5f);
    std::thread other ([&] { b.run (*second, {100}, 6, 6, false); });
    a.run (*first, {256}, 6, 6, false);
    other.join();
    for (int c = 0; c < 6; ++c)
    {
        EXPECT_TRUE (a.outputEqualsInput (c));
        EXPECT_TRUE (b.outputEqualsInput (c));
    }
    // Each instance keeps its own settings.
    EXPECT_FLOAT_EQ (first->parameter (11), 0.0f);
    EXPECT_FLOAT_EQ (second->parameter (11), 1.0f);
}

// A -23 LUFS tone (1 kHz, both front channels) after given settings: what the meter reports
// and the state it saves. Every build of the plug-in must give the same bits; with
// TARN_VST2_READINGS set, the host writes them into that file for a comparison between builds.
TEST_F (RawVst2Host, MinusTwentyThreeLufsToneReadingsAndState)
{
    auto plugin = create();
    plugin->setParameter (11, 0.25f);
    plugin->setParameter (7, 0.5f);
    constexpr double rate = 48000.0;
    constexpr int blockSize = 480;
    plugin->start (rate, blockSize, true);

    std::vector<std::vector<float>> in (6, std::vector<float> (blockSize, 0.0f)), out = in;
    std::vector<float*> ins, outs;
    for (size_t c = 0; c < 6; ++c)
    {
        ins.push_back (in[c].data());
        outs.push_back (out[c].data());
    }
    const double amplitude = std::pow (10.0, -23.0 / 20.0);
    const double twoPi = 6.283185307179586;
    for (int block = 0; block < 4 * static_cast<int> (rate) / blockSize; ++block)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            const double t = static_cast<double> (block * blockSize + i) / rate;
            in[0][static_cast<size_t> (i)] = in[1][static_cast<size_t> (i)] =
                static_cast<float> (amplitude * std::sin (twoPi * std::fmod (1000.0 * t, 1.0)));
        }
        plugin->process (ins.data(), outs.data(), blockSize);
    }
    const float momentary = plugin->parameter (momentaryOutput);
    const float shortTerm = plugin->parameter (shortTermOutput);
    // The outputs' normalised reading of -23 LUFS.
    EXPECT_NEAR (momentary, 0.5727f, 0.0005f);
    EXPECT_NEAR (shortTerm, 0.5727f, 0.0005f);
    const auto chunk = plugin->getChunk();
    ASSERT_GT (chunk.size(), 9u);

    if (const char* path = std::getenv ("TARN_VST2_READINGS"))
    {
        std::ofstream file (path, std::ios::binary);
        char line[64];
        std::snprintf (line, sizeof (line), "momentary %a\nshortTerm %a\nchunk ", static_cast<double> (momentary),
                       static_cast<double> (shortTerm));
        file << line;
        for (auto byte : chunk)
        {
            std::snprintf (line, sizeof (line), "%02x", byte);
            file << line;
        }
        file << "\n";
        EXPECT_TRUE (file.good()) << path;
    }
}

#ifndef _WIN32
// Like most hosts, this one reports X errors instead of letting Xlib end the process: a plug-in
// in a library leaves the handler to its host, and without a window manager (as under Xvfb)
// some window-manager atoms do not exist, which JUCE's window code meets with BadAtom.
int reportXError (Display* display, XErrorEvent* error)
{
    char text[128] = {};
    XGetErrorText (display, error->error_code, text, sizeof (text) - 1);
    std::fprintf (stderr, "X error: %s (request %d)\n", text, error->request_code);
    return 0;
}

// Needs a display (the test runs under Xvfb); the editor is embedded in a window of ours.
TEST_F (RawVst2Host, EditorOpensAndClosesInAHostWindow)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        GTEST_SKIP() << "no X display";
    XSetErrorHandler (reportXError);

    auto plugin = create();
    plugin->start (48000.0, 512, false);
    Rect* rect = nullptr;
    plugin->dispatch (effEditGetRect, 0, 0, &rect);
    ASSERT_NE (rect, nullptr);
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    EXPECT_GT (width, 0);
    EXPECT_GT (height, 0);

    const auto window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0,
                                             static_cast<unsigned> (std::max (width, 1)),
                                             static_cast<unsigned> (std::max (height, 1)), 0, 0, 0);
    XMapWindow (display, window);
    XFlush (display);
    EXPECT_NE (plugin->dispatch (effEditOpen, 0, 0, reinterpret_cast<void*> (window)), 0);
    Vst2AudioBuffers audio (6, 4800, 9u, 0.5f);
    for (int i = 0; i < 20; ++i)
    {
        plugin->dispatch (effEditIdle);
        audio.run (*plugin, {480}, 6, 6, false);
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    plugin->dispatch (effEditClose);
    for (int i = 0; i < 5; ++i)
        plugin->dispatch (effEditIdle);
    plugin.reset();
    XDestroyWindow (display, window);
    XCloseDisplay (display);
}
#else
// The screen area of a window, 24 bits per pixel, rows bottom-up as a BMP file stores them.
std::vector<unsigned char> captureWindow (HWND window, int& width, int& height)
{
    RECT area{};
    GetWindowRect (window, &area);
    width = area.right - area.left;
    height = area.bottom - area.top;
    HDC screen = GetDC (nullptr);
    HDC memory = CreateCompatibleDC (screen);
    HBITMAP bitmap = CreateCompatibleBitmap (screen, width, height);
    auto* previous = SelectObject (memory, bitmap);
    BitBlt (memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject (memory, previous);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof (info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels (static_cast<size_t> (stride * height));
    GetDIBits (memory, bitmap, 0, static_cast<UINT> (height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject (bitmap);
    DeleteDC (memory);
    ReleaseDC (nullptr, screen);
    return pixels;
}

bool writeBmp (const std::string& path, const std::vector<unsigned char>& pixels, int width, int height)
{
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof (header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof (file) + sizeof (header);
    file.bfSize = static_cast<DWORD> (file.bfOffBits + pixels.size());
    std::ofstream out (path, std::ios::binary);
    out.write (reinterpret_cast<const char*> (&file), sizeof (file));
    out.write (reinterpret_cast<const char*> (&header), sizeof (header));
    out.write (reinterpret_cast<const char*> (pixels.data()), static_cast<std::streamsize> (pixels.size()));
    return out.good();
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA (&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage (&message);
        DispatchMessageA (&message);
    }
}

// The editor in a window of ours, with the transport running so that the meter shows readings;
// the window's screen area must hold a drawn meter, not one flat colour. With TARN_SNAPSHOT_DIR
// set, the host leaves it there as vst2-editor.bmp.
TEST_F (RawVst2Host, EditorOpensAndDrawsInAHostWindow)
{
    auto plugin = create();
    plugin->timeInfo.flags |= transportPlaying | transportChanged;
    plugin->start (48000.0, 480, false);
    Rect* rect = nullptr;
    plugin->dispatch (effEditGetRect, 0, 0, &rect);
    ASSERT_NE (rect, nullptr);
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    EXPECT_EQ (width, 729);
    EXPECT_EQ (height, 472);

    HWND window = CreateWindowExA (0, "STATIC", "Tarn test host", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                   nullptr, nullptr, GetModuleHandleA (nullptr), nullptr);
    ASSERT_NE (window, nullptr);
    EXPECT_NE (plugin->dispatch (effEditOpen, 0, 0, window), 0);
    Vst2AudioBuffers audio (6, 4800, 9u, 0.05f); // noise at about -20 LUFS
    for (int i = 0; i < 60; ++i)
    {
        audio.run (*plugin, {480}, 6, 6, false);
        plugin->dispatch (effEditIdle);
        pumpMessages();
        Sleep (20);
    }
    // JUCE paints what changed when DXGI reports the display's vertical blank, which Wine on
    // Xvfb does not: the host asks for the whole window to be painted, with the latest values.
    RedrawWindow (window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    int shotWidth = 0, shotHeight = 0;
    const auto pixels = captureWindow (window, shotWidth, shotHeight);
    std::set<std::uint32_t> colours;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3)
        colours.insert (std::uint32_t (pixels[i]) | std::uint32_t (pixels[i + 1]) << 8 |
                        std::uint32_t (pixels[i + 2]) << 16);
    EXPECT_GT (colours.size(), 50u);
    if (const char* folder = std::getenv ("TARN_SNAPSHOT_DIR"))
    {
        EXPECT_TRUE (writeBmp (std::string (folder) + "/vst2-editor.bmp", pixels, shotWidth, shotHeight));
    }

    plugin->dispatch (effEditClose);
    pumpMessages();
    plugin.reset();
    DestroyWindow (window);
}
#endif
} // namespace
