#include "containers/BoolTable.h"
#include "containers/LinkedIndexList.h"
#include "containers/SmartArray.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

// Appending to an empty array with the automatic growth step.
void BM_SmartIntArrayGrowth(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        CSmartIntArray array;
        for (int i = 0; i < count; ++i)
            array.Add(i);
        benchmark::DoNotOptimize(array.begin());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SmartIntArrayGrowth)->Arg(1000)->Arg(100000);

void BM_SmartStringArrayGrowth(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string text = "a string too long for the small-string buffer";
    for (auto _ : state) {
        CSmartStringArray array;
        for (int i = 0; i < count; ++i)
            array.Add(text);
        benchmark::DoNotOptimize(array.begin());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SmartStringArrayGrowth)->Arg(1000)->Arg(100000);

// 100,000 strings appended to CSmartStringArray and to std::vector<std::string> in the same
// iteration; the counter "smart/vector" is the ratio of their times (target: at most 2).
void BM_SmartStringArrayVersusVector(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string text = "a string too long for the small-string buffer";
    using Clock = std::chrono::steady_clock;
    Clock::duration smartTime{};
    Clock::duration vectorTime{};
    for (auto _ : state) {
        const auto start = Clock::now();
        {
            CSmartStringArray array;
            for (int i = 0; i < count; ++i)
                array.Add(text);
            benchmark::DoNotOptimize(array.begin());
        }
        const auto middle = Clock::now();
        {
            std::vector<std::string> vector;
            for (int i = 0; i < count; ++i)
                vector.push_back(text);
            benchmark::DoNotOptimize(vector.data());
        }
        const auto end = Clock::now();
        smartTime += middle - start;
        vectorTime += end - middle;
    }
    state.counters["smart/vector"] =
        std::chrono::duration<double>(smartTime) / std::chrono::duration<double>(vectorTime);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SmartStringArrayVersusVector)->Arg(100000);

void BM_SmartIntArrayIndexedSum(benchmark::State& state)
{
    CSmartIntArray array;
    array.SetSize(static_cast<int>(state.range(0)));
    for (int i = 0; i < array.GetSize(); ++i)
        array[i] = i;
    for (auto _ : state) {
        long long sum = 0;
        for (int i = 0; i < array.GetSize(); ++i)
            sum += array[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * array.GetSize());
}
BENCHMARK(BM_SmartIntArrayIndexedSum)->Arg(100000);

// The decoder's pattern: runs moved to the front or back and single nodes moved, then a walk.
void BM_LinkedIndexListMoves(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    CLinkedIndexList list;
    list.Create(count);
    std::mt19937 random(1);
    struct Move
    {
        int kind, a, b;
    };
    std::vector<Move> moves(4096);
    for (Move& move : moves)
        move = {static_cast<int>(random() % 3), static_cast<int>(random() % count),
                static_cast<int>(random() % count)};
    for (auto _ : state) {
        list.Reset();
        for (const Move& move : moves) {
            if (move.kind == 2)
                list.MoveNode(move.a, move.b, move.a & 1);
            else
                list.MoveRange(move.kind, move.a, move.a); // a run of one keeps the order valid
        }
        int walked = 0;
        for (auto* node = list.GetHead()->next; node != list.GetTail(); node = node->next)
            ++walked;
        benchmark::DoNotOptimize(walked);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(moves.size()));
}
BENCHMARK(BM_LinkedIndexListMoves)->Arg(100)->Arg(10000);

void BM_BoolTableGetBit(benchmark::State& state)
{
    CBoolTable table;
    table.Create(500, 500);
    for (int row = 0; row < 500; ++row)
        table.SetRange(row, row + 100, row);
    for (auto _ : state) {
        int set = 0;
        for (int row = 0; row < 500; ++row)
            for (int column = 0; column < 500; ++column)
                set += table.GetBit(column, row);
        benchmark::DoNotOptimize(set);
    }
    state.SetItemsProcessed(state.iterations() * 500 * 500);
}
BENCHMARK(BM_BoolTableGetBit);

} // namespace
