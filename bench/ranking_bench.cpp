// The pure ranking paths over generated catalogues: match tiers for a set of
// queries, the initial sort at start-up, and the live order of one query.
#include "lumenpad/matching.hpp"
#include "lumenpad/ordering.hpp"
#include "synthetic_catalogue.hpp"

#include "lumenpad-shared/text.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using lumenpad::AppEntry;
using lumenpad::MatchKeys;
using lumenpad::MatchTier;
namespace bench = lumenpad::bench;

std::vector<MatchKeys> keys_of(const std::vector<AppEntry>& entries) {
    std::vector<MatchKeys> keys;
    keys.reserve(entries.size());
    for (const AppEntry& entry : entries) {
        keys.push_back(lumenpad::match_keys(entry));
    }
    return keys;
}

// Every query against every entry, lowering all texts afresh at each call.
void match_tier_fresh(benchmark::State& state) {
    const auto entries = bench::synthetic_catalogue(static_cast<std::size_t>(state.range(0)));
    const auto& queries = bench::synthetic_queries();
    for (auto _ : state) {
        std::size_t matched = 0;
        for (const std::string& query : queries) {
            for (const AppEntry& entry : entries) {
                matched += lumenpad::match_tier(query, entry).has_value();
            }
        }
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(queries.size() * entries.size()));
}

// The same with the entries' keys computed once and the query lowered once
// per query, as the search field's handler does.
void match_tier_keyed(benchmark::State& state) {
    const auto entries = bench::synthetic_catalogue(static_cast<std::size_t>(state.range(0)));
    const auto keys = keys_of(entries);
    const auto& queries = bench::synthetic_queries();
    for (auto _ : state) {
        std::size_t matched = 0;
        for (const std::string& query : queries) {
            const std::string lowered = lumenpad::lower(query);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                matched += lumenpad::match_tier(query, lowered, entries[i], keys[i]).has_value();
            }
        }
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(queries.size() * entries.size()));
}

// Start-up's stable sort by priority terms, launch counts and names.
void initial_sort(benchmark::State& state) {
    const auto entries = bench::synthetic_catalogue(static_cast<std::size_t>(state.range(0)));
    const auto history = bench::synthetic_history(entries);
    const auto priority = bench::synthetic_priority();
    for (auto _ : state) {
        state.PauseTiming();
        auto unsorted = entries;
        state.ResumeTiming();
        lumenpad::sort_initial(unsorted, priority, history);
        benchmark::DoNotOptimize(unsorted.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One query's live order, as an edit computes it: every entry's tier, then
// the shown ones sorted by tier, launch count and name.
void live_order(benchmark::State& state) {
    const auto entries = bench::synthetic_catalogue(static_cast<std::size_t>(state.range(0)));
    const auto keys = keys_of(entries);
    const auto history = bench::synthetic_history(entries);
    const auto& queries = bench::synthetic_queries();
    std::size_t round = 0;
    for (auto _ : state) {
        const auto order = lumenpad::live_order(queries[round++ % queries.size()], entries, keys, history);
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void catalogue_sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(match_tier_fresh)->Apply(catalogue_sizes);
BENCHMARK(match_tier_keyed)->Apply(catalogue_sizes);
BENCHMARK(initial_sort)->Apply(catalogue_sizes);
BENCHMARK(live_order)->Apply(catalogue_sizes);

}  // namespace

BENCHMARK_MAIN();
