#include <benchmark/benchmark.h>

#include "editor/RiroruduLoudnessAudioProcessorEditor.h"
#include "processor/Tarn51AudioProcessor.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace
{
// The bench draws the editor itself and needs no display. Without a DISPLAY the framework would
// try the X server at :0, if some other program runs one there, and would go down with it.
[[maybe_unused]] const bool withoutDisplay = []
{
    const auto* display = std::getenv ("DISPLAY");
    return (display != nullptr && *display != 0) || ::setenv ("DISPLAY", ":65535", 1) == 0;
}();

constexpr int ticksPerSecond = 1000 / RiroruduLoudnessAudioProcessorEditor::refreshIntervalMilliseconds;
constexpr int stepsPerSecond = 10;
constexpr int historyTab = 4;

// A 100 ms step of a lively programme.
void pushStep (LoudnessHistory& history, std::int64_t i)
{
    const auto t = (float)i;
    history.push (-23.0f + 6.0f * std::sin (t * 0.37f), -23.0f + 3.0f * std::sin (t * 0.05f), -23.0f,
                  -3.0f + 2.5f * std::sin (t * 0.11f));
}

// The editor's refresh with the History page open, while the meter measures in real time. One
// iteration is one second: 20 timer ticks, 10 new history steps, and a paint of the page each
// time it asked for one (what the window system would call for). "core_percent" is the share of
// one core this takes. The page shows `span`, over a programme of `recordedSeconds` before.
void historyPageRefresh (benchmark::State& state, OSKAHistoryPage::Span span, int recordedSeconds)
{
    juce::ScopedJuceInitialiser_GUI juce;
    auto processor = std::make_unique<Tarn51AudioProcessor>();
    processor->prepareToPlay (48000.0, 512);
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditorIfNeeded());
    auto& refresh = dynamic_cast<juce::Timer&> (*editor);

    // The bench feeds the history itself; no audio runs, so it is the only writer.
    auto& history = processor->loudnessHistory;
    std::int64_t step = 0;

    for (; step < (std::int64_t)recordedSeconds * stepsPerSecond; ++step)
        pushStep (history, step);

    juce::TabbedButtonBar* tabs = nullptr;
    OSKAHistoryPage* page = nullptr;

    for (auto* child : editor->getChildren())
    {
        tabs = tabs != nullptr ? tabs : dynamic_cast<juce::TabbedButtonBar*> (child);
        page = page != nullptr ? page : dynamic_cast<OSKAHistoryPage*> (child);
    }

    if (tabs == nullptr || page == nullptr)
    {
        state.SkipWithError ("no History page");
        return;
    }

    tabs->setCurrentTabIndex (historyTab, true);
    tabs->dispatchPendingMessages();
    page->setSpan (span);
    juce::Image canvas (juce::Image::RGB, page->getWidth(), page->getHeight(), true);
    auto painted = history.getChangeCount() + 1;

    for (auto _ : state)
    {
        for (int tick = 0; tick < ticksPerSecond; ++tick)
        {
            if (tick % (ticksPerSecond / stepsPerSecond) == 0)
                pushStep (history, step++);

            refresh.timerCallback();

            // The page repaints when the history changed, once per change.
            if (page->isVisible() && history.getChangeCount() != painted)
            {
                painted = history.getChangeCount();
                juce::Graphics g (canvas);
                page->paintEntireComponent (g, false);
            }
        }

        benchmark::DoNotOptimize (canvas.getPixelAt (100, 100));
    }

    // CPU seconds per second of refresh, in percent.
    state.counters["core_percent"] = benchmark::Counter (
        0.01 * (double)state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    processor->editorBeingDeleted (editor.get());
    editor.reset();
    processor->releaseResources();
}

void historyPage10Minutes (benchmark::State& state)
{
    historyPageRefresh (state, OSKAHistoryPage::minutes10, 600);
}

void historyPageWholeProgramme10Hours (benchmark::State& state)
{
    historyPageRefresh (state, OSKAHistoryPage::wholeProgramme, 10 * 3600);
}
} // namespace

BENCHMARK (historyPage10Minutes)->Unit (benchmark::kMillisecond)->MinTime (3.0);
BENCHMARK (historyPageWholeProgramme10Hours)->Unit (benchmark::kMillisecond)->MinTime (3.0);
