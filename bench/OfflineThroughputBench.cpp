#include <benchmark/benchmark.h>

#include <juce_audio_formats/juce_audio_formats.h>

#if TARN_HAVE_LIBEBUR128
#include <ebur128.h>
#endif

#include <chrono>
#include <map>
#include <memory>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

// Offline throughput of tarn51-measure on 10-minute 5.1, stereo and mono 32-bit float WAVs
// at 48 and 44.1 kHz, and,
// when libebur128 is installed, of libebur128 measuring integrated loudness, loudness range
// and true peak of the same file read the same way, so that the two are compared in one run.
// The file is written once per run (by tarn51-tonegen) into the temporary folder, read once
// so that both measure from the page cache, and deleted at exit.
//
// A batch of eight such files is measured with -j 1 and -j 2 as well.
//
// Both report wall time (the benchmark's time) and the processor time they used (cpuSeconds:
// user and system time, of this process for libebur128 and of the child for tarn51-measure),
// which stays meaningful on a machine busy with other work; vsLibebur128 and
// vsLibebur128Cpu are the throughput ratios by either clock.
namespace
{
constexpr double programmeSeconds = 600.0;

juce::String quoted (const juce::String& s)
{
    return "'" + s.replace ("'", "'\\''") + "'";
}

// One programme file per channel count and rate, written on first use and deleted at exit.
class Programme
{
public:
    static const juce::File& file (int channels = 6, int rate = 48000)
    {
        static std::map<std::pair<int, int>, std::unique_ptr<Programme>> programmes;
        auto& programme = programmes[{channels, rate}];
        if (programme == nullptr)
            programme.reset (new Programme (channels, rate));
        return programme->path;
    }

    ~Programme() { path.deleteFile(); }

private:
    Programme (int channels, int rate)
        : path (juce::File::getSpecialLocation (juce::File::tempDirectory)
                    .getNonexistentChildFile ("tarn51-bench-10min-" + juce::String (channels) + "ch-" +
                                                  juce::String (rate),
                                              ".wav", false))
    {
        const auto command = juce::String (quoted (TARN_TONEGEN_PATH)) + " --seconds 600 --channels " +
                             juce::String (channels) + " --rate " + juce::String (rate) + " --bits 32f " +
                             quoted (path.getFullPathName());
        if (std::system (command.toRawUTF8()) != 0)
            path.deleteFile();

        juce::FileInputStream in (path);
        juce::HeapBlock<char> chunk (1 << 20);
        while (in.openedOk() && !in.isExhausted())
            in.read (chunk.get(), 1 << 20);
    }

    juce::File path;
};

// libebur128's figures for the file of each channel count and rate, for the ratios.
std::map<std::pair<int, int>, std::pair<double, double>> libebur128Figures;

double secondsSince (std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
}

// User and system time used so far by this process or by its finished children.
double cpuSeconds (int who)
{
    rusage usage{};
    getrusage (who, &usage);
    const auto seconds = [] (const timeval& t)
    { return static_cast<double> (t.tv_sec) + static_cast<double> (t.tv_usec) * 1.0e-6; };
    return seconds (usage.ru_utime) + seconds (usage.ru_stime);
}
} // namespace

#if TARN_HAVE_LIBEBUR128
// The comparison: the file read through JUCE's reader in blocks of 512 frames, interleaved
// and handed to libebur128 (5.1 in its channel order with the LFE unused). Arguments: channels
// (1, 2, 6 or 12, which is 7.1.4) and rate.
static void Libebur128_10min_float (benchmark::State& state)
{
    const auto channels = static_cast<int> (state.range (0));
    const auto rate = static_cast<int> (state.range (1));
    const auto& file = Programme::file (channels, rate);
    if (!file.existsAsFile())
    {
        state.SkipWithError ("no programme file");
        return;
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        const auto cpuStart = cpuSeconds (RUSAGE_SELF);

        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
        auto* meter = ebur128_init ((unsigned int)channels, (unsigned long)rate,
                                    EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
        if (channels == 6)
        {
            const int map[] = {EBUR128_LEFT,   EBUR128_RIGHT,         EBUR128_CENTER,
                               EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
            for (unsigned int c = 0; c < 6; ++c)
                ebur128_set_channel (meter, c, map[c]);
        }
        else if (channels == 12)
        {
            // 7.1.4 in the file's WAVE order: the back (rear) pair before the side pair.
            const int map[] = {EBUR128_Mp030, EBUR128_Mm030, EBUR128_Mp000, EBUR128_UNUSED,
                               EBUR128_Mp135, EBUR128_Mm135, EBUR128_Mp090, EBUR128_Mm090,
                               EBUR128_Up045, EBUR128_Um045, EBUR128_Up135, EBUR128_Um135};
            for (unsigned int c = 0; c < 12; ++c)
                ebur128_set_channel (meter, c, map[c]);
        }

        constexpr int blockSize = 512;
        juce::AudioBuffer<float> block (channels, blockSize);
        std::vector<float> interleaved ((size_t)(channels * blockSize));

        for (juce::int64 pos = 0; pos < reader->lengthInSamples; pos += blockSize)
        {
            const auto n =
                static_cast<int> (std::min<juce::int64> (blockSize, reader->lengthInSamples - pos));
            reader->read (block.getArrayOfWritePointers(), channels, pos, n);

            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    interleaved[(size_t)(i * channels + c)] = block.getSample (c, i);

            ebur128_add_frames_float (meter, interleaved.data(), (size_t)n);
        }

        double integrated = 0.0, range = 0.0, peak = 0.0;
        ebur128_loudness_global (meter, &integrated);
        ebur128_loudness_range (meter, &range);
        for (unsigned int c = 0; c < (unsigned int)channels; ++c)
        {
            double p = 0.0;
            ebur128_true_peak (meter, c, &p);
            peak = std::max (peak, p);
        }
        benchmark::DoNotOptimize (integrated + range + peak);
        ebur128_destroy (&meter);

        const auto elapsed = secondsSince (start);
        state.SetIterationTime (elapsed);
        libebur128Figures[{channels, rate}] = {elapsed, cpuSeconds (RUSAGE_SELF) - cpuStart};
    }

    const auto [seconds, cpu] = libebur128Figures[{channels, rate}];
    state.counters["xRealTime"] = programmeSeconds / seconds;
    state.counters["cpuSeconds"] = cpu;
}
BENCHMARK (Libebur128_10min_float)
    ->ArgsProduct ({{6, 2, 1}, {48000, 44100}})
    ->Args ({12, 48000})
    ->UseManualTime()
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
#endif

// Runs tarn51-measure with the arguments (output thrown away); wall and processor seconds.
struct MeasureRun
{
    double seconds = 0.0, cpu = 0.0;
    bool ok = false;
};

MeasureRun runMeasure (const juce::String& arguments)
{
    const auto command =
        juce::String (quoted (TARN_MEASURE_PATH)) + " --quiet --json " + arguments + " >/dev/null";
    const auto start = std::chrono::steady_clock::now();
    const auto cpuStart = cpuSeconds (RUSAGE_CHILDREN);
    const auto status = std::system (command.toRawUTF8());
    return {secondsSince (start), cpuSeconds (RUSAGE_CHILDREN) - cpuStart, status == 0};
}

// The product: tarn51-measure run on the file as a script would run it (after libebur128 on the
// same file, for the ratios). Arguments as libebur128's.
static void Tarn51Measure_10min_float (benchmark::State& state)
{
    const auto channels = static_cast<int> (state.range (0));
    const auto rate = static_cast<int> (state.range (1));
    const auto& file = Programme::file (channels, rate);
    if (!file.existsAsFile())
    {
        state.SkipWithError ("no programme file");
        return;
    }

    MeasureRun run;

    for (auto _ : state)
    {
        run = runMeasure (quoted (file.getFullPathName()));
        state.SetIterationTime (run.seconds);

        if (!run.ok)
        {
            state.SkipWithError ("tarn51-measure failed");
            return;
        }
    }

    state.counters["xRealTime"] = programmeSeconds / run.seconds;
    state.counters["cpuSeconds"] = run.cpu;
    if (const auto found = libebur128Figures.find ({channels, rate});
        found != libebur128Figures.end() && run.cpu > 0.0)
    {
        state.counters["vsLibebur128"] = found->second.first / run.seconds;
        state.counters["vsLibebur128Cpu"] = found->second.second / run.cpu;
    }
}
BENCHMARK (Tarn51Measure_10min_float)
    ->ArgsProduct ({{6, 2, 1}, {48000, 44100}})
    ->Args ({12, 48000})
    ->UseManualTime()
    ->Iterations (1)
    ->Unit (benchmark::kSecond);

// A batch: eight such files (the one file named eight times, read from the page cache)
// measured with -j 1 and with -j 2; speedOverJobs1 is the wall-time ratio of the two.
static void Tarn51Measure_8x10min_51_float_jobs (benchmark::State& state)
{
    static double oneJobSeconds = 0.0;
    const auto& file = Programme::file();
    if (!file.existsAsFile())
    {
        state.SkipWithError ("no programme file");
        return;
    }

    const auto jobs = static_cast<int> (state.range (0));
    juce::String arguments = "--jobs " + juce::String (jobs);
    for (int i = 0; i < 8; ++i)
        arguments << " " << quoted (file.getFullPathName());

    MeasureRun run;

    for (auto _ : state)
    {
        run = runMeasure (arguments);
        state.SetIterationTime (run.seconds);

        if (!run.ok)
        {
            state.SkipWithError ("tarn51-measure failed");
            return;
        }
    }

    if (jobs == 1)
        oneJobSeconds = run.seconds;

    state.counters["xRealTime"] = 8.0 * programmeSeconds / run.seconds;
    state.counters["cpuSeconds"] = run.cpu;
    if (jobs > 1 && oneJobSeconds > 0.0)
        state.counters["speedOverJobs1"] = oneJobSeconds / run.seconds;
}
BENCHMARK (Tarn51Measure_8x10min_51_float_jobs)
    ->Arg (1)
    ->Arg (2)
    ->UseManualTime()
    ->Iterations (1)
    ->Unit (benchmark::kSecond);
