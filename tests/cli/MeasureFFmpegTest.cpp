#include <gtest/gtest.h>

#include "MeasureRunner.h"

#include "support/TemporaryFolder.h"

#include <ebur128.h>

#include <cmath>
#include <cstdlib>
#include <functional>

// Files that FFmpeg's libraries decode for the meter. Fixtures are made with the ffmpeg
// command; readings are checked against libebur128 fed with the samples the ffmpeg command
// decodes from the same file.
namespace
{
juce::String quoted (const juce::String& s)
{
    return "'" + s.replace ("'", "'\\''") + "'";
}

bool haveFFmpeg()
{
    static const bool found = std::system ("ffmpeg -version >/dev/null 2>&1") == 0;
    return found;
}

#define SKIP_WITHOUT_FFMPEG()                                                                                \
    if (!haveFFmpeg())                                                                                       \
    GTEST_SKIP() << "the ffmpeg command is not installed: no fixtures can be made"

// Runs "ffmpeg -y ARGS"; a failure is a test failure.
bool ffmpeg (const juce::String& arguments)
{
    const auto command = "ffmpeg -v error -nostdin -y " + arguments;
    const auto ok = std::system (command.toRawUTF8()) == 0;
    EXPECT_TRUE (ok) << command;
    return ok;
}

// 8 s of sines at a different level in every channel (the LFE loudest, the surrounds quiet),
// the first swelling and fading, so that a channel read into the wrong place changes the
// readings. As a lavfi source for ffmpeg's -i.
juce::String programme (int numChannels, double seconds = 8.0)
{
    const char* const channels[] = {"(1+0.5*sin(2*PI*0.3*t))*0.3*sin(2*PI*440*t)",
                                    "0.2*sin(2*PI*550*t)",
                                    "0.15*sin(2*PI*660*t)",
                                    "0.5*sin(2*PI*60*t)",
                                    "0.1*sin(2*PI*770*t)",
                                    "0.05*sin(2*PI*880*t)",
                                    "0.25*sin(2*PI*990*t)",
                                    "0.12*sin(2*PI*1100*t)"};
    juce::StringArray exprs;
    for (int c = 0; c < numChannels; ++c)
        exprs.add (channels[c]);

    const auto layout = numChannels == 6   ? ":channel_layout=5.1(side)"
                        : numChannels == 2 ? ":channel_layout=stereo"
                                           : "";
    return "-f lavfi -i " + quoted ("aevalsrc=exprs='" + exprs.joinIntoString ("|") +
                                    "':s=48000:d=" + juce::String (seconds) + layout);
}

struct Reference
{
    double integrated = 0.0;
    std::vector<double> truePeaks; // dBTP, per channel in the decoded order
};

// libebur128's reading of the samples the ffmpeg command decodes from a file's first audio
// stream, as floats. Six channels decode as L R C LFE Ls Rs, whichever 5.1 the file has.
Reference referenceOf (const juce::File& file, int numChannels, const TemporaryFolder& folder)
{
    Reference r;
    const auto raw = folder["reference.f32"];
    if (!ffmpeg ("-i " + quoted (file.getFullPathName()) + " -map 0:a:0 -c:a pcm_f32le -f f32le " +
                 quoted (raw.getFullPathName())))
        return r;

    juce::MemoryBlock samples;
    raw.loadFileAsData (samples);
    const auto frames = samples.getSize() / sizeof (float) / (size_t)numChannels;

    auto* state = ebur128_init ((unsigned)numChannels, 48000, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (numChannels == 6)
    {
        ebur128_set_channel (state, 3, EBUR128_UNUSED);
        ebur128_set_channel (state, 4, EBUR128_LEFT_SURROUND);
        ebur128_set_channel (state, 5, EBUR128_RIGHT_SURROUND);
    }
    ebur128_add_frames_float (state, static_cast<const float*> (samples.getData()), frames);
    ebur128_loudness_global (state, &r.integrated);

    for (int c = 0; c < numChannels; ++c)
    {
        double peak = 0.0;
        ebur128_true_peak (state, (unsigned)c, &peak);
        r.truePeaks.push_back (20.0 * std::log10 (peak));
    }
    ebur128_destroy (&state);
    return r;
}

// The reading without the keys that name the input.
juce::String readingsOf (const juce::var& object)
{
    auto copy = juce::JSON::parse (juce::JSON::toString (object));
    if (auto* o = copy.getDynamicObject())
    {
        o->removeProperty ("file");
        o->removeProperty ("stream");
    }
    return juce::JSON::toString (copy, true);
}

juce::var onlyObject (const MeasureRun& run)
{
    const auto objects = run.jsonObjects();
    EXPECT_EQ (objects.size(), 1) << run.out << run.err;
    return objects.isEmpty() ? juce::var() : objects[0];
}

struct Container
{
    const char* file;
    int numChannels;
    const char* options; // ffmpeg's output options
};

void PrintTo (const Container& c, std::ostream* os)
{
    *os << c.file;
}

class MeasureFFmpegContainers : public testing::TestWithParam<Container>
{
};
} // namespace

TEST_P (MeasureFFmpegContainers, ReadsAsTheReferenceMeterReadsTheDecodedSamples)
{
    SKIP_WITHOUT_FFMPEG();
    const auto& c = GetParam();
    const TemporaryFolder folder;
    const auto file = folder[c.file];
    // MXF files carry a picture; the meter passes over it.
    const auto picture =
        juce::String (c.options).contains ("mpeg2video") ? "-f lavfi -i color=s=64x64:r=25:d=8 " : "";
    ASSERT_TRUE (ffmpeg (picture + programme (c.numChannels) + " " + c.options + " " +
                         quoted (file.getFullPathName())));

    const auto reference = referenceOf (file, c.numChannels, folder);
    const auto run = runMeasure ({"--json", file.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;
    const auto o = onlyObject (run);

    EXPECT_EQ (static_cast<int> (o["channels"]), c.numChannels);
    EXPECT_EQ (static_cast<int> (o["decodeErrors"]), 0);
    EXPECT_NEAR (static_cast<double> (o["integrated"]), reference.integrated, 0.1);

    // Each channel's peak where the meter placed it: L R C LFE Ls Rs.
    const auto* peaks = o["truePeak"].getArray();
    ASSERT_NE (peaks, nullptr);
    for (int ch = 0; ch < c.numChannels; ++ch)
        EXPECT_NEAR (static_cast<double> ((*peaks)[ch]), reference.truePeaks[(size_t)ch], 0.3)
            << "channel " << ch;
}

INSTANTIATE_TEST_SUITE_P (
    EveryContainer, MeasureFFmpegContainers,
    testing::Values (Container{"mov.mov", 6, "-c:a pcm_s24le"}, Container{"aac.mp4", 2, "-c:a aac"},
                     Container{"alac.m4a", 2, "-c:a alac"},
                     Container{"op1a.mxf", 2, "-map 0:v -map 1:a -c:v mpeg2video -c:a pcm_s24le"},
                     Container{"opatom.mxf", 1, "-c:a pcm_s24le -f mxf_opatom"},
                     Container{"flac.mkv", 6, "-c:a flac"}, Container{"opus.webm", 2, "-c:a libopus"},
                     Container{"ac3.ts", 6, "-c:a ac3"}, Container{"vorbis.ogg", 6, "-c:a libvorbis"},
                     Container{"opus.opus", 2, "-c:a libopus"}, Container{"flac.oga", 2, "-c:a flac"},
                     Container{"rf64.wav", 6, "-c:a pcm_s24le -rf64 always"},
                     Container{"w64.w64", 6, "-c:a pcm_s24le"}, Container{"aiff.aiff", 6, "-c:a pcm_s24be"},
                     Container{"flac.flac", 6, ""}, Container{"mp3.mp3", 2, ""}, Container{"ac3.ac3", 6, ""},
                     Container{"eac3.eac3", 6, ""}, Container{"adts.aac", 2, "-f adts"},
                     Container{"dts.dts", 6, "-c:a dca -strict -2"}),
    [] (const testing::TestParamInfo<Container>& p)
    { return juce::String (p.param.file).replaceCharacter ('.', '_').toStdString(); });

namespace
{
class MeasureFFmpegPipes : public testing::TestWithParam<const char*>
{
};
} // namespace

// PCM read by FFmpeg gives the same bits as JUCE's reader (the same readings to the last
// digit), from the file and from a pipe; a container read from a pipe as from the file.
TEST_P (MeasureFFmpegPipes, FFmpegAndPipesReadTheSameAsTheFile)
{
    SKIP_WITHOUT_FFMPEG();
    const juce::String codec = GetParam();
    const TemporaryFolder folder;
    const auto file = folder[codec == "flac" ? "x.mkv" : "x.wav"];
    ASSERT_TRUE (ffmpeg (programme (6, 5.0) + " -c:a " + codec + " " + quoted (file.getFullPathName())));

    const auto fromFile = onlyObject (runMeasure ({"--json", file.getFullPathName()}));
    const auto throughFFmpeg = onlyObject (runMeasure ({"--json", "--tracks", "1", file.getFullPathName()}));
    const auto piped = runMeasure ({"--json", "-"}, {}, "cat " + quoted (file.getFullPathName()));
    ASSERT_EQ (piped.status, 0) << piped.err;

    EXPECT_EQ (onlyObject (piped)["file"].toString(), "-");
    EXPECT_EQ (readingsOf (throughFFmpeg), readingsOf (fromFile));
    EXPECT_EQ (readingsOf (onlyObject (piped)), readingsOf (fromFile));
}

INSTANTIATE_TEST_SUITE_P (PcmAndContainers, MeasureFFmpegPipes,
                          testing::Values ("pcm_s16le", "pcm_s24le", "pcm_f32le", "flac"));

TEST (MeasureFFmpeg, MxfMonoTracksMakeTheProgrammesOfTheInterleavedMaster)
{
    SKIP_WITHOUT_FFMPEG();
    const TemporaryFolder folder;
    const auto master = folder["master.wav"].getFullPathName();
    const auto mxf = folder["tracks.mxf"].getFullPathName();
    ASSERT_TRUE (ffmpeg (programme (8, 6.0) + " -c:a pcm_s24le " + quoted (master)));

    // Eight mono tracks after a picture, as a playout server writes them.
    juce::String split = "-f lavfi -i color=s=64x64:r=25:d=6 -i " + quoted (master) +
                         " -filter_complex '[1]channelsplit=channel_layout=7.1";
    juce::String maps = " -map 0:v";
    for (int t = 0; t < 8; ++t)
    {
        split << "[t" << t << "]";
        maps << " -map '[t" << t << "]'";
    }
    ASSERT_TRUE (ffmpeg (split + "'" + maps + " -c:v mpeg2video -c:a pcm_s24le " + quoted (mxf)));

    // The masters of the two programmes: channels 1-6 and 7-8 of the interleaved file.
    const auto surround = folder["surround.wav"].getFullPathName();
    const auto stereo = folder["stereo.wav"].getFullPathName();
    ASSERT_TRUE (ffmpeg ("-i " + quoted (master) +
                         " -af 'pan=6c|c0=c0|c1=c1|c2=c2|c3=c3|c4=c4|c5=c5' -c:a pcm_s24le " +
                         quoted (surround)));
    ASSERT_TRUE (
        ffmpeg ("-i " + quoted (master) + " -af 'pan=stereo|c0=c6|c1=c7' -c:a pcm_s24le " + quoted (stereo)));

    EXPECT_EQ (readingsOf (onlyObject (runMeasure ({"--json", "--tracks", "1-6", mxf}))),
               readingsOf (onlyObject (runMeasure ({"--json", surround}))));
    EXPECT_EQ (readingsOf (onlyObject (runMeasure ({"--json", "--tracks", "7,8", mxf}))),
               readingsOf (onlyObject (runMeasure ({"--json", stereo}))));

    // Every track on its own, numbered.
    const auto all = runMeasure ({"--json", "--all-streams", mxf});
    ASSERT_EQ (all.status, 0) << all.err;
    const auto objects = all.jsonObjects();
    ASSERT_EQ (objects.size(), 8);
    for (int t = 0; t < 8; ++t)
    {
        EXPECT_EQ (static_cast<int> (objects[t]["stream"]), t + 1);
        EXPECT_EQ (static_cast<int> (objects[t]["channels"]), 1);
    }
    EXPECT_NE (readingsOf (objects[0]), readingsOf (objects[1]));

    // A stream the file does not have is a usage error that lists the ones it has.
    for (const auto& args :
         {juce::StringArray{"--stream", "9", mxf}, juce::StringArray{"--tracks", "7-9", mxf}})
    {
        const auto run = runMeasure (args);
        EXPECT_EQ (run.status, 2) << args.joinIntoString (" ");
        EXPECT_TRUE (run.err.contains ("no audio stream 9") &&
                     run.err.contains ("1: pcm_s24le, 1 channel, 48000 Hz") &&
                     run.err.contains ("8: pcm_s24le"))
            << run.err;
    }
}

namespace
{
struct Broken
{
    const char* name;
    std::function<bool (const juce::File&)> make;
    int status;
    const char* message; // on standard error
};

void PrintTo (const Broken& b, std::ostream* os)
{
    *os << b.name;
}

// Overwrites count bytes at each offset with noise.
bool damage (const juce::File& file, std::initializer_list<int> offsets, int count)
{
    juce::MemoryBlock data;
    if (!file.loadFileAsData (data))
        return false;
    juce::Random random (7);
    for (auto offset : offsets)
        for (int i = 0; i < count && (size_t)(offset + i) < data.getSize(); ++i)
            data[(size_t)(offset + i)] = static_cast<char> (random.nextInt (256));
    return file.replaceWithData (data.getData(), data.getSize());
}

class MeasureFFmpegBroken : public testing::TestWithParam<Broken>
{
};
} // namespace

// A file that cannot be read is named with what is wrong; one damaged part-way is measured as
// far as it decodes, with a warning, and fails even a target that its readings would meet.
TEST_P (MeasureFFmpegBroken, IsNamedWithWhatIsWrong)
{
    SKIP_WITHOUT_FFMPEG();
    const auto& b = GetParam();
    const TemporaryFolder folder;
    const auto file = folder[b.name];
    ASSERT_TRUE (b.make (file));

    const auto run =
        runMeasure ({"--json", "--target-loudness", "-20", "--tolerance", "20", file.getFullPathName()});
    EXPECT_EQ (run.status, b.status) << run.err;
    EXPECT_TRUE (run.err.contains (file.getFullPathName()) && run.err.contains (b.message)) << run.err;

    if (b.status == 3)
    {
        const auto o = onlyObject (run);
        EXPECT_GT (static_cast<int> (o["decodeErrors"]), 0);
        EXPECT_GT (static_cast<double> (o["durationSeconds"]), 2.0);
        EXPECT_TRUE (juce::JSON::toString (o["target"]).contains ("decodeErrors"))
            << juce::JSON::toString (o);
    }
}

INSTANTIATE_TEST_SUITE_P (
    EveryKind, MeasureFFmpegBroken,
    testing::Values (Broken{"noise.mp4",
                            [] (const juce::File& f)
                            {
                                juce::MemoryBlock noise (65536);
                                juce::Random (3).fillBitsRandomly (noise.getData(), noise.getSize());
                                return f.replaceWithData (noise.getData(), noise.getSize());
                            },
                            1, "not an audio file"},
                     Broken{"picture.mkv",
                            [] (const juce::File& f) {
                                return ffmpeg ("-f lavfi -i color=s=64x64:d=2 -c:v mpeg4 " +
                                               quoted (f.getFullPathName()));
                            },
                            1, "no audio stream"},
                     Broken{"truncated.mp4",
                            [] (const juce::File& f)
                            {
                                const auto whole = f.getSiblingFile ("whole.mp4");
                                if (!ffmpeg (programme (2, 10.0) + " -c:a aac -movflags +faststart " +
                                             quoted (whole.getFullPathName())))
                                    return false;
                                juce::MemoryBlock data;
                                whole.loadFileAsData (data);
                                return f.replaceWithData (data.getData(), data.getSize() / 2);
                            },
                            3, "decode errors"},
                     Broken{"damaged.ac3",
                            [] (const juce::File& f)
                            {
                                return ffmpeg (programme (6, 10.0) + " " + quoted (f.getFullPathName())) &&
                                       damage (f, {100000, 150000, 200000}, 300);
                            },
                            3, "decode errors"}),
    [] (const testing::TestParamInfo<Broken>& p)
    { return juce::String (p.param.name).replaceCharacter ('.', '_').toStdString(); });
