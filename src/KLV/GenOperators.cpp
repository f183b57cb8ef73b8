// The gene's genetic operators: the order crossovers, the segment mutation and the greedy
// cheapest-insertion construction.
#include "KLV/Gen.h"
#include "KLV/Poblacion.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// r x n / 32768 for a draw r: a value 0 .. n - 1 (0 when n is 0).
int Scaled(int draw, int n)
{
    return static_cast<int>(static_cast<std::int64_t>(draw) * n / 32768);
}

int Wrap(int position, int length)
{
    return ((position % length) + length) % length;
}

} // namespace

// Copies parent1's items at positions first .. last (wrapping) into the child and marks them.
void TGen::CopySegment(const TGen& parent1, int first, int count)
{
    const int length = parent1.GetLength();
    SetItems(parent1.GetItems(), length);
    unsigned char* used = GetUsedFlags();
    std::fill_n(used, GetUsedFlagCount(), static_cast<unsigned char>(0));
    for (int k = 0; k < count; ++k) {
        const unsigned short item = parent1.GetItems()[Wrap(first + k, length)];
        assert(item < GetUsedFlagCount());
        used[item] = 1;
    }
}

// Fills count positions from write on (stepping writeStep, wrapping) with parent2's items not
// marked, read from position read on (stepping readStep, wrapping): the order part of every
// order crossover.
void TGen::FillInOrder(const TGen& parent2, int read, int readStep, int write, int writeStep,
                       int count)
{
    const int length = GetLength();
    const unsigned short* source = parent2.GetItems();
    unsigned short* items = GetItems();
    unsigned char* used = GetUsedFlags();
    for (int seen = 0; seen < length && count > 0; ++seen) {
        const unsigned short item = source[Wrap(read + seen * readStep, length)];
        if (used[item])
            continue;
        used[item] = 1;
        items[Wrap(write, length)] = item;
        write += writeStep;
        --count;
    }
    assert(count == 0 && "the parents hold the same items");
}

void TGen::CruceUnPunto(int cut, const TGen& parent1, const TGen& parent2)
{
    const int length = parent1.GetLength();
    assert(parent2.GetLength() == length && cut >= 0 && cut <= length);
    CopySegment(parent1, 0, cut);
    if (length > 0) {
        const int read = cut > 0 ? parent2.Posicion(parent1.GetItems()[cut - 1]) + 1 : 0;
        FillInOrder(parent2, read, 1, cut, 1, length - cut);
    }
    EvaluaConCache();
}

void TGen::CruceUnPuntoFinal(int cut, const TGen& parent1, const TGen& parent2)
{
    const int length = parent1.GetLength();
    assert(parent2.GetLength() == length && cut >= 0 && cut < std::max(length, 1));
    CopySegment(parent1, cut + 1, length - cut - 1);
    if (length > 0) {
        const int read =
            cut < length - 1 ? parent2.Posicion(parent1.GetItems()[length - 1]) + 1 : 0;
        FillInOrder(parent2, read, 1, 0, 1, cut + 1);
    }
    EvaluaConCache();
}

void TGen::CruceDosPuntos(int start, int end, const TGen& parent1, const TGen& parent2)
{
    const int length = parent1.GetLength();
    assert(parent2.GetLength() == length && start >= 0 && start <= end && end < length);
    CopySegment(parent1, start, end - start + 1);
    int read = 0;
    if (Rand() * 2 >= 32768) {
        read = Scaled(Rand(), length);
    } else {
        read = start == end ? start + 1 : parent2.Posicion(parent1.GetItems()[end]) + 1;
        if (read == length)
            read = 0;
    }
    FillInOrder(parent2, read, 1, end + 1, 1, length - (end - start + 1));
    EvaluaConCache();
}

void TGen::CruceDosPuntosInverso(int start, int end, const TGen& parent1, const TGen& parent2)
{
    const int length = parent1.GetLength();
    assert(parent2.GetLength() == length && start >= 0 && start <= end && end < length);
    CopySegment(parent1, start, end - start + 1);
    const int read = parent2.Posicion(parent1.GetItems()[start]) - 1;
    FillInOrder(parent2, read, -1, start - 1, -1, length - (end - start + 1));
    EvaluaConCache();
}

void TGen::MutacionSegmento()
{
    const int length = GetLength();
    if (length < 2)
        return;
    const TPoblacion* population = m_engine ? m_engine->GetCurrentPopulation() : nullptr;
    const int longest = population ? population->Parametros().longestMovedSegment
                                   : TParametrosPoblacion{}.longestMovedSegment;
    const int a = Scaled(Rand(), length - 1);
    int source = a;
    int target = a;
    switch (Scaled(Rand(), 4)) {
    case 0:
        target = a + 1 + Scaled(Rand(), length - a - 1);
        break;
    case 1:
        target = a + 1 + Scaled(Rand(), std::min(length - a - 1, 10));
        break;
    case 2:
        source = a + 1 + Scaled(Rand(), length - a - 1);
        break;
    default:
        source = a + 1 + Scaled(Rand(), std::min(length - a - 1, 10));
        break;
    }
    const int moved =
        std::min(1 + Scaled(Rand(), std::max(longest, 0)), length - std::max(source, target));
    unsigned short* items = GetItems();
    unsigned short* saved = GetScratchItems();
    std::copy_n(items + source, moved, saved);
    if (source > target)
        std::memmove(items + target + moved, items + target,
                     sizeof(unsigned short) * static_cast<std::size_t>(source - target));
    else
        std::memmove(items + source, items + source + moved,
                     sizeof(unsigned short) * static_cast<std::size_t>(target - source));
    std::copy_n(saved, moved, items + target);
    EvaluaConCache();
}

void TGen::CheapestInsertion()
{
    // This gene carries each candidate through Repara and Evaluate; the partial sequence (A)
    // and the cheapest candidate so far (C) are plain buffers.
    const int length = GetLength();
    if (length == 0) {
        EvaluateCost(1);
        return;
    }
    std::vector<unsigned short> partial{0};
    std::vector<unsigned short> cheapest;
    partial.reserve(static_cast<std::size_t>(length));
    cheapest.reserve(static_cast<std::size_t>(length));
    for (int value = 1; value < length; ++value) {
        partial.push_back(static_cast<unsigned short>(value));
        SetItems(partial.data(), static_cast<int>(partial.size()));
        Repara();
        float cheapestCost = EvaluateCost(1);
        cheapest.assign(GetItems(), GetItems() + GetLength());
        for (int position = static_cast<int>(partial.size()) - 1; position >= 1; --position) {
            std::swap(partial[position], partial[position - 1]);
            SetItems(partial.data(), static_cast<int>(partial.size()));
            Repara();
            const float cost = EvaluateCost(1);
            if (cheapestCost > cost) {
                cheapestCost = cost;
                cheapest.assign(GetItems(), GetItems() + GetLength());
            }
        }
        partial = cheapest;
    }
    SetItems(partial.data(), static_cast<int>(partial.size()));
    EvaluateCost(1);
}
