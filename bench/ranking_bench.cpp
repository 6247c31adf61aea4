// The pure ranking paths over generated catalogues: match tiers for a set of
// queries, the initial sort at start-up, and the live order of one query.
#include "lumenpad/matching.hpp"
#include "lumenpad/ordering.hpp"
#include "synthetic_catalogue.hpp"

#include "lumenpad-shared/text.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>

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

// One query's live order: each entry's sort tier and launch count once, as the
// window's rows keep them, then a sort by compare_for_query.
void live_order(benchmark::State& state) {
    const auto entries = bench::synthetic_catalogue(static_cast<std::size_t>(state.range(0)));
    const auto keys = keys_of(entries);
    const auto history = bench::synthetic_history(entries);
    const auto& queries = bench::synthetic_queries();
    std::vector<MatchTier> tiers(entries.size());
    std::vector<std::uint32_t> counts(entries.size());
    std::vector<std::size_t> order(entries.size());
    std::size_t round = 0;
    for (auto _ : state) {
        const std::string lowered = lumenpad::lower(queries[round++ % queries.size()]);
        std::iota(order.begin(), order.end(), std::size_t{0});
        for (std::size_t i = 0; i < entries.size(); ++i) {
            tiers[i] = lumenpad::sort_tier(lowered, keys[i]);
            counts[i] = lumenpad::launch_count(history, entries[i].name);
        }
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return lumenpad::compare_for_query(tiers[a], counts[a], keys[a], tiers[b], counts[b], keys[b]) <
                   0;
        });
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
