// Runs every benchmark (each measure beside its floor, three times, medians kept)
// and ends with one table: each measure, its floor, their ratio and the target.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

namespace {

// Keeps the medians by benchmark name, and says on the error stream which
// benchmark has run, so that the one table at the end is all of the output.
class SummaryReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context &) override { return true; }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred)
                std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(),
                             run.error_message.c_str());
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                medians[run.run_name.function_name] = run;
        }
    }

    double milliseconds(const std::string &name) const
    {
        const auto found = medians.find(name);
        if (found == medians.end())
            return 0;
        return found->second.GetAdjustedRealTime() * 1e3
               / benchmark::GetTimeUnitMultiplier(found->second.time_unit);
    }

    double counter(const std::string &name, const std::string &counterName) const
    {
        const auto found = medians.find(name);
        if (found == medians.end())
            return 0;
        const auto value = found->second.counters.find(counterName);
        return value == found->second.counters.end() ? 0 : double(value->second);
    }

    std::map<std::string, Run> medians;
};

struct Row
{
    const char *what;
    std::function<double()> measured;
    std::function<double()> floor; // none: the measure stands against its target alone
    const char *unit;
    bool floorOverMeasured; // the ratio says how many times cheaper than the floor
    const char *target;
    std::function<bool(double measured, double ratio)> met; // none: reported only
};

void printSummary(const SummaryReporter &r)
{
    const auto ms = [&r](const char *name) { return [&r, name] { return r.milliseconds(name); }; };
    const auto counter = [&r](const char *name, const char *counterName, double scale = 1) {
        return [&r, name, counterName, scale] { return r.counter(name, counterName) / scale; };
    };
    const Row rows[] = {
        {"open the 20 MB book (100 files)", ms("BM_OpenBook"), ms("BM_FloorOpenBook"), "ms", false,
         "<= 2x", [](double, double ratio) { return ratio <= 2; }},
        {"memory of the opened book", counter("BM_BookMemory", "model_MB"),
         counter("BM_BookMemory", "utf16_MB"), "MB", false, "<= 3x",
         [](double, double ratio) { return ratio <= 3; }},
        {"one keystroke: the worker's pass, 5 MB file",
         counter("BM_KeystrokeToTree", "pass_median_ms"), ms("BM_FullParseAndRestructure"), "ms",
         true, ">= 500x cheaper", [](double, double ratio) { return ratio >= 500; }},
        {"keystroke to outline, median",
         counter("BM_KeystrokeToOutline", "median_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"keystroke to outline, 99th percentile",
         counter("BM_KeystrokeToOutline", "p99_ms"),
         {},
         "ms",
         false,
         "< 50 ms",
         [](double measured, double) { return measured < 50; }},
        {"UI-thread cost of a keystroke, median",
         counter("BM_KeystrokeToOutline", "ui_median_ms"),
         {},
         "ms",
         false,
         "< 2 ms",
         [](double measured, double) { return measured < 2; }},
        {"keystroke to outline, 20 MB book (labels listed), median",
         counter("BM_KeystrokeToOutlineBook", "median_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"UI-thread cost of a keystroke, 20 MB book, median",
         counter("BM_KeystrokeToOutlineBook", "ui_median_ms"),
         {},
         "ms",
         false,
         "< 2 ms",
         [](double measured, double) { return measured < 2; }},
        {"\\ref{ to its candidates, 20 MB book, median",
         counter("BM_WritingAidsBook", "ref_median_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"  the first \\ref{ after opening",
         counter("BM_WritingAidsBook", "ref_first_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"UI-thread cost of a keystroke, 20 MB book, spell checking on",
         counter("BM_WritingAidsBook", "keystroke_median_ms"),
         {},
         "ms",
         false,
         "< 2 ms",
         [](double measured, double) { return measured < 2; }},
        {"last keystroke to lines checked, 20 MB book",
         counter("BM_WritingAidsBook", "check_median_ms"),
         {},
         "ms",
         false,
         "report (150 ms pause)",
         {}},
        {"keystroke to the word count, 20 MB book, median",
         counter("BM_WordCountBook", "median_ms"),
         {},
         "ms",
         false,
         "<= 50 ms",
         [](double measured, double) { return measured <= 50; }},
        {"  worst", counter("BM_WordCountBook", "worst_ms"), {}, "ms", false, "report", {}},
        {"UI-thread cost of a keystroke, counts on, median",
         counter("BM_WordCountBook", "ui_median_ms"),
         {},
         "ms",
         false,
         "< 2 ms",
         [](double measured, double) { return measured < 2; }},
        {"UI-thread share of taking the counts, median",
         counter("BM_WordCountBook", "take_median_ms"),
         {},
         "ms",
         false,
         "< 2 ms",
         [](double measured, double) { return measured < 2; }},
        {"search the whole book", ms("BM_SearchBook"), ms("BM_FloorSearchBook"), "ms", false,
         "<= 2x", [](double, double ratio) { return ratio <= 2; }},
        {"parse a 50 MB log", counter("BM_ParseLargeLog", "bytes_per_second", 1e6),
         counter("BM_FloorReadLog", "bytes_per_second", 1e6), "MB/s", true, ">= 100 MB/s",
         [](double measured, double) { return measured >= 100; }},
        {"text-to-PDF lookup, 500-page sync file", ms("BM_SyncLookup"), ms("BM_FloorReadSync"),
         "ms", false, "< 50 ms", [](double measured, double) { return measured < 50; }},
        {"open the 5 MB file",
         ms("BM_OpenLargeFile"),
         ms("BM_FloorReadDecodeScan"),
         "ms",
         false,
         "report",
         {}},
        {"start to first window, 5 MB file",
         ms("BM_StartToFirstWindow"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"start to first window, 200 MB file",
         ms("BM_HugeFileInWindow"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"keystroke to outline, 200 MB file",
         counter("BM_HugeFileInWindow", "keystroke_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"UI-thread cost of a keystroke, 200 MB file",
         counter("BM_HugeFileInWindow", "ui_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"engine output to the console, median",
         counter("BM_EngineLatency", "output_median_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"Stop to the engine ended",
         counter("BM_EngineLatency", "stop_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"engine printing 100 MB: until the compile ends",
         ms("BM_EngineFlood"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"engine printing 100 MB: longest UI stall",
         counter("BM_EngineFlood", "stall_ms"),
         {},
         "ms",
         false,
         "< 100 ms",
         [](double measured, double) { return measured < 100; }},
        {"compile overhead (F5 to engine, engine to tree and PDF), thesis",
         counter("BM_CompileOverheadThesis", "overhead_ms"),
         {},
         "ms",
         false,
         "< 100 ms",
         [](double measured, double) { return measured < 100; }},
        {"  the engine's own run, thesis",
         counter("BM_CompileOverheadThesis", "program_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"chain overhead (F5 to latexmk, latexmk to tree and PDF), thesis",
         counter("BM_ChainOverheadThesis", "overhead_ms"),
         {},
         "ms",
         false,
         "< 100 ms",
         [](double measured, double) { return measured < 100; }},
        {"  latexmk's own run, thesis",
         counter("BM_ChainOverheadThesis", "program_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"longest UI stall during the chain, thesis",
         counter("BM_ChainOverheadThesis", "ui_stall_max_ms"),
         {},
         "ms",
         false,
         "<= 16 ms",
         [](double measured, double) { return measured <= 16; }},
        {"All in Document, 20 MB book: the worker's search",
         counter("BM_ListMatchesBook", "worker_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"All in Document, 20 MB book: longest UI-thread hold",
         counter("BM_ListMatchesBook", "show_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"Find Usages of a label, 20 MB book: the worker's search",
         counter("BM_FindUsagesBook", "worker_ms"),
         {},
         "ms",
         false,
         "<= 100 ms",
         [](double measured, double) { return measured <= 100; }},
        {"  every file scanned whole (a name in all of them)",
         counter("BM_FindUsagesBookEveryFile", "worker_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"  longest UI-thread hold",
         counter("BM_FindUsagesBookEveryFile", "show_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"Rename of a label, 20 MB book: accepted to the outline's new row, median",
         ms("BM_RenameLabelBook"),
         {},
         "ms",
         false,
         "<= 300 ms",
         [](double measured, double) { return measured <= 300; }},
        {"  longest UI-thread hold meanwhile",
         counter("BM_RenameLabelBook", "ui_held_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"compile overhead, 20 MB book",
         counter("BM_CompileOverheadBook", "overhead_ms"),
         {},
         "ms",
         false,
         "< 300 ms",
         [](double measured, double) { return measured < 300; }},
        {"  the engine's own run, 20 MB book",
         counter("BM_CompileOverheadBook", "program_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"live preview of the thesis: request to PDF, median",
         counter("BM_PreviewThesis", "median_ms"),
         {},
         "ms",
         false,
         "<= 1000 ms",
         [](double measured, double) { return measured <= 1000; }},
        {"  worst of 10", counter("BM_PreviewThesis", "worst_ms"), {}, "ms", false, "report", {}},
        {"preview engines alive at once, a request every 100 ms",
         counter("BM_PreviewRequestStorm", "most_engines"),
         {},
         "",
         false,
         "<= 1",
         [](double measured, double) { return measured <= 1; }},
        {"  UI-thread share of a preview request, longest",
         counter("BM_PreviewRequestStorm", "request_max_ms"),
         {},
         "ms",
         false,
         "< 16 ms",
         [](double measured, double) { return measured < 16; }},
        {"live preview, thesis window: pause's end to new PDF, median",
         counter("BM_TypingWithLivePreview", "pause_end_to_pdf_median_ms"),
         {},
         "ms",
         false,
         "<= 1000 ms",
         [](double measured, double) { return measured <= 1000; }},
        {"  worst of 10",
         counter("BM_TypingWithLivePreview", "pause_end_to_pdf_worst_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"  longest UI-thread stall while typing over previews",
         counter("BM_TypingWithLivePreview", "ui_stall_max_ms"),
         {},
         "ms",
         false,
         "<= 16 ms",
         [](double measured, double) { return measured <= 16; }},
        {"  preview engines alive at once",
         counter("BM_TypingWithLivePreview", "most_engines"),
         {},
         "",
         false,
         "<= 1",
         [](double measured, double) { return measured <= 1; }},
        {"live preview of one chapter of the 20 MB book, median",
         counter("BM_PreviewBookChapter", "median_ms"),
         {},
         "ms",
         false,
         "<= 3000 ms",
         [](double measured, double) { return measured <= 3000; }},
        {"  worst of 10",
         counter("BM_PreviewBookChapter", "worst_ms"),
         {},
         "ms",
         false,
         "report",
         {}},
        {"heap of the window on the 200 MB file",
         counter("BM_HugeFileInWindow", "heap_MB"),
         {},
         "MB",
         false,
         "report",
         {}},
    };
    std::printf("\n%-44s %14s %14s %9s  %s\n", "benchmark", "measured", "floor", "ratio", "target");
    for (const Row &row : rows) {
        const double measured = row.measured();
        const double floor = row.floor ? row.floor() : 0;
        double ratio = 0;
        if (floor > 0 && measured > 0)
            ratio = row.floorOverMeasured ? floor / measured : measured / floor;
        const char *verdict = !row.met ? "" : row.met(measured, ratio) ? " met" : " MISSED";
        char floorText[32] = "";
        char ratioText[32] = "";
        if (row.floor) {
            std::snprintf(floorText, sizeof floorText, "%9.2f %-4s", floor, row.unit);
            std::snprintf(ratioText, sizeof ratioText, "%8.1fx", ratio);
        }
        std::printf("%-44s %9.2f %-4s %14s %9s  %s%s\n", row.what, measured, row.unit, floorText,
                    ratioText, row.target, verdict);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // The window's benchmarks need widgets, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::vector<char *> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=3";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    arguments.push_back(repetitions.data());
    arguments.push_back(aggregates.data());
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
