// Benchmark: compiling a generated mission script that fills the token
// buffer almost to capacity (statements, labels and branches, quoted texts,
// comments and block comments), rolled back after every run; beside it a
// plain tokeniser doing the same work with the standard library's maps.
#include "bench/paired.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// About five pairs a line on average; stops short of the capacity. Every
// eighth line defines a new label (and the line after branches forward to
// the next one), so the symbol table fills too.
std::string GenerateScript()
{
    std::string text;
    uint32_t pairs = 0;
    char line[160];
    for (int i = 0; pairs + 16 < kTokenCapacity - 64; ++i) {
        switch (i % 8) {
        case 0:
            std::snprintf(line, sizeof line, "label_%d: SET counter_%d %d\n", i / 8, i % 100, i);
            pairs += 5;
            break;
        case 1:
            std::snprintf(line, sizeof line, "BRA_IF label_%d EQUAL counter_%d %d.5\n", i / 8 + 1, i % 100, i);
            pairs += 7;
            break;
        case 2:
            std::snprintf(line, sizeof line, "HUD_STRING \"Contact, bearing %d\" 2000\n", i % 360);
            pairs += 5;
            break;
        case 3:
            std::snprintf(line, sizeof line, "; running commentary %d\n", i);
            pairs += 3;
            break;
        case 4:
            std::snprintf(line, sizeof line, "\tADD\tcounter_%d,\t1\n", i % 100);
            pairs += 5;
            break;
        case 5:
            std::snprintf(line, sizeof line, "/*\nSET hidden_%d 1\n*/\n", i);
            pairs += 6;
            break;
        case 6:
            std::snprintf(line, sizeof line, "\n");
            pairs += 2;
            break;
        default:
            std::snprintf(line, sizeof line, "WAIT_TIME 100\n");
            pairs += 4;
            break;
        }
        text += line;
    }
    return text;
}

struct Scratch {
    Scratch()
    {
        char pattern[] = "/tmp/kv_script_bench_XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        root = pattern;
        std::filesystem::create_directories(root / "zqk/resource/scripts/missions");
        std::filesystem::current_path(root);
        script = GenerateScript();
        std::ofstream("zqk/resource/scripts/missions/bench.scr", std::ios::binary) << script;
        InitializeScriptSystem();
    }
    ~Scratch() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
    std::string script;
};

// One scratch folder and script system for both benchmarks.
Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
}

void BM_TokeniseFullScript(benchmark::State& state)
{
    Scratch& scratch = TheScratch();
    uint32_t pairs = 0;
    for (auto _ : state) {
        ResetMissionScript();
        ScriptToken* start = TokeniseScript("bench.scr");
        benchmark::DoNotOptimize(start);
        pairs = gScriptBuffers.tokenCursor;
    }
    state.counters["pairs"] = pairs;
    state.counters["capacity"] = kTokenCapacity;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scratch.script.size()));
}
BENCHMARK(BM_TokeniseFullScript)->Unit(benchmark::kMicrosecond);

// The plain tokeniser: the file read whole and cut into lines and words;
// block comments counted, comment lines one pair, a line marker after each
// line; each word a quoted text (its words joined), a label, a keyword (a
// std::unordered_map of the same vocabulary, followed by its label operand
// for branches), a number (std::from_chars) or a symbol (a std::unordered_map
// of names, added when new); every token a pair of 32-bit words.
class PlainTokeniser {
public:
    PlainTokeniser()
    {
        for (const KeywordRow& row : KeywordTable())
            if (row.name)
                keywords_.emplace(row.name, row.id);
    }

    size_t Run(const char* path)
    {
        text_.clear();
        pairs_.clear();
        symbols_.clear();
        std::FILE* f = std::fopen(path, "rb");
        char block[1 << 16];
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0)
            text_.append(block, n);
        std::fclose(f);
        int commentDepth = 0;
        uint32_t lineIndex = 0;
        for (size_t at = 0; at < text_.size(); ++lineIndex) {
            size_t end = text_.find('\n', at);
            end = end == std::string::npos ? text_.size() : end;
            std::string_view line(text_.data() + at, end - at);
            at = end + 1;
            if (line.starts_with("/*"))
                ++commentDepth;
            else if (line.starts_with("*/"))
                --commentDepth;
            else if (commentDepth == 0 && !line.empty() && line[0] != '\r') {
                if (line[0] == ';' || line.starts_with("//"))
                    pairs_.emplace_back(kw::COMMENT, 0);
                else
                    Words(line);
            }
            pairs_.emplace_back(kw::LINE, lineIndex);
        }
        return pairs_.size();
    }

private:
    static bool Separator(char c) { return c == ',' || c == '\r' || c == '\t' || c == ' '; }

    bool Next(std::string_view line, size_t& at, std::string_view& word)
    {
        while (at < line.size() && Separator(line[at]))
            ++at;
        if (at == line.size())
            return false;
        size_t start = at;
        while (at < line.size() && !Separator(line[at]))
            ++at;
        word = line.substr(start, at - start);
        return true;
    }

    uint32_t Symbol(std::string_view name)
    {
        auto [it, added] = symbols_.try_emplace(std::string(name), uint32_t(symbols_.size()));
        return it->second;
    }

    void Words(std::string_view line)
    {
        size_t at = 0;
        std::string_view word;
        while (Next(line, at, word)) {
            if (word.front() == '"') {
                std::string quoted(word);
                while (quoted.back() != '"' && Next(line, at, word))
                    (quoted += ' ') += word;
                pairs_.emplace_back(kw::DATA, uint32_t(quoted.size()));
            } else if (word.back() == ':') {
                Symbol(word.substr(0, word.size() - 1));
            } else if (auto k = keywords_.find(word); k != keywords_.end()) {
                pairs_.emplace_back(k->second, 0);
                if (k->second >= kw::BRA && k->second <= kw::BRA_IF_NOT && Next(line, at, word))
                    pairs_.emplace_back(kw::SYMBOL, Symbol(word));
            } else if (float number; std::from_chars(word.data(), word.data() + word.size(), number).ec == std::errc()) {
                pairs_.emplace_back(kw::DATA, uint32_t(number));
            } else {
                pairs_.emplace_back(kw::SYMBOL, Symbol(word));
            }
        }
    }

    std::unordered_map<std::string_view, uint32_t> keywords_;
    std::unordered_map<std::string, uint32_t> symbols_;
    std::vector<std::pair<uint32_t, uint32_t>> pairs_;
    std::string text_;
};

void BM_PlainTokeniseFullScript(benchmark::State& state)
{
    Scratch& scratch = TheScratch();
    PlainTokeniser plain;
    size_t pairs = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pairs = plain.Run("zqk/resource/scripts/missions/bench.scr"));
    state.counters["pairs"] = double(pairs);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scratch.script.size()));
}
BENCHMARK(BM_PlainTokeniseFullScript)->Unit(benchmark::kMicrosecond);
KV_BENCH_PAIR("BM_TokeniseFullScript", "BM_PlainTokeniseFullScript");

} // namespace

KV_BENCH_MAIN()
