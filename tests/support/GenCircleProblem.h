#pragma once

#include "KLV/Gen.h"
#include "KLV/GenEngine.h"
#include "KLV/GenEngineInterface.h"
#include "KLV/GenRandom.h"
#include "KLV/MapGenToCola.h"
#include "KLV/Poblacion.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <vector>

// The genetic framework's toy problem: points evenly spaced on the unit circle, a gene the
// order in which they are visited, its cost the length of the closed tour. Its optimum (the
// points in circle order) is known, so searches can be checked against it.
namespace trv::test {

class CircleProblem
{
  public:
    // With constantCost every tour costs 1: every draw repeats every other's cost.
    explicit CircleProblem(int pointCount, bool constantCost = false) : m_constantCost(constantCost)
    {
        for (int i = 0; i < pointCount; ++i) {
            const double angle = 2.0 * std::numbers::pi * i / pointCount;
            m_x.push_back(std::cos(angle));
            m_y.push_back(std::sin(angle));
        }
    }

    int PointCount() const { return static_cast<int>(m_x.size()); }

    float TourLength(const unsigned short* items, int count) const
    {
        evaluations.fetch_add(1, std::memory_order_relaxed);
        if (m_constantCost)
            return 1.0f;
        double length = 0.0;
        for (int i = 0; i < count; ++i) {
            const int from = items[i];
            const int to = items[(i + 1) % count];
            length += std::hypot(m_x[to] - m_x[from], m_y[to] - m_y[from]);
        }
        return static_cast<float>(length);
    }

    // The regular polygon's perimeter.
    double OptimumLength() const
    {
        const int n = PointCount();
        return 2.0 * n * std::sin(std::numbers::pi / n);
    }

    mutable std::atomic<long> evaluations{0};
    mutable std::atomic<long> randomDraws{0}; // Azar calls

  private:
    bool m_constantCost;
    std::vector<double> m_x;
    std::vector<double> m_y;
};

class CircleGen : public TGen
{
  public:
    // A tour of the first length points (all of them by default).
    CircleGen(IGenEngine* engine, const CircleProblem& problem,
              std::shared_ptr<TEstructurasOptimizacion> workspace = nullptr, int length = -1)
        : TGen(engine, length < 0 ? problem.PointCount() : length, std::move(workspace)),
          m_problem(problem)
    {
    }

    float Evaluate(int) override
    {
        const float cost = m_problem.TourLength(GetItems(), GetLength());
        SetCoste(cost);
        return cost;
    }

    void Azar() override
    {
        m_problem.randomDraws.fetch_add(1, std::memory_order_relaxed);
        TGen::Azar();
    }

  private:
    const CircleProblem& m_problem;
};

class CirclePob : public TPoblacion
{
  public:
    CirclePob(const TParametrosPoblacion& parameters, const CircleProblem& problem)
        : TPoblacion(parameters), m_problem(problem)
    {
    }

    TGen* NuevoGen(std::shared_ptr<TEstructurasOptimizacion> workspace) override
    {
        // Genes follow the block's gene length, so an engine may run on fewer points than the
        // problem has and add the others later.
        return new CircleGen(GetEngine(), m_problem, std::move(workspace), Parametros().geneLength);
    }

  private:
    const CircleProblem& m_problem;
};

// A minimal engine: what genes and populations ask of one, with counters for the calls the
// search engine acts on. Populations are created but not filled.
class CircleTestEngine : public IGenEngine
{
  public:
    CircleTestEngine(const CircleProblem& problem, const TParametrosPoblacion& parameters,
                     int threadCount = 1, const unsigned short* firstSequence = nullptr)
        : m_problem(problem), m_itemBound(problem.PointCount()), m_firstSequence(firstSequence)
    {
        for (int i = 0; i < threadCount; ++i)
            m_workspaces.push_back(std::make_shared<TEstructurasOptimizacion>());
        m_cache.Inicializa(problem.PointCount());
        m_current = std::make_unique<CirclePob>(parameters, problem);
        m_current->SetEngine(this);
        m_current->SetGeneLength(problem.PointCount());
        m_current->CreaGenes();
        TParametrosPoblacion bettersBlock = parameters;
        bettersBlock.survivors = 0;
        bettersBlock.populationSize = 1;
        bettersBlock.geneLength = problem.PointCount();
        m_betters = std::make_unique<CirclePob>(bettersBlock, problem);
        m_betters->SetEngine(this);
        m_betters->CreaGenes();
        m_first = std::make_unique<CircleGen>(this, problem);
        m_best = std::make_unique<CircleGen>(this, problem);
    }

    int GetItemBound() const override { return m_itemBound; }
    void RaiseItemBound(int bound) override { m_itemBound = std::max(m_itemBound, bound); }
    TPoblacion* GetCurrentPopulation() override { return m_current.get(); }
    TPoblacion* GetBetters() override { return m_betters.get(); }
    TGen* GetFirstGene() override { return m_first.get(); }
    const unsigned short* GetFirstSequence() const override { return m_firstSequence; }
    CMapGenToCola& GetCache() override { return m_cache; }
    TGenRandom& GetRandom() override { return m_random; }
    int GetThreadCount() const override { return static_cast<int>(m_workspaces.size()); }
    const std::shared_ptr<TEstructurasOptimizacion>& GetThreadWorkspace(int thread) override
    {
        return m_workspaces[thread];
    }
    void PublishBest() override
    {
        std::lock_guard lock(m_bestGeneLock);
        m_best->Copia(*m_current->GetGen(0));
        ++publishes;
    }
    void EsperaPaso() override
    {
        std::lock_guard lock(m_generationLock);
        ++stepWaits;
    }
    bool IsPaused() const override { return paused; }
    void SetImproved() override { ++improvedSets; }
    void RaiseReseedCounter() override { ++reseedCounter; }
    void ResetForTotalReseed() override
    {
        reseedCounter = 0;
        ++totalResets;
    }
    void MarkLocalSearchEnd() override { ++localSearchEndMarks; }

    CirclePob& Current() { return *m_current; }
    CirclePob& Betters() { return *m_betters; }
    TGen& Best() { return *m_best; }

    bool paused = false;
    int publishes = 0;
    int stepWaits = 0;
    int improvedSets = 0;
    int reseedCounter = 0;
    int totalResets = 0;
    int localSearchEndMarks = 0;

  private:
    const CircleProblem& m_problem;
    int m_itemBound;
    const unsigned short* m_firstSequence;
    std::vector<std::shared_ptr<TEstructurasOptimizacion>> m_workspaces;
    CMapGenToCola m_cache;
    TGenRandom m_random;
    std::mutex m_bestGeneLock;
    std::mutex m_generationLock;
    std::unique_ptr<CirclePob> m_current;
    std::unique_ptr<CirclePob> m_betters;
    std::unique_ptr<CircleGen> m_first;
    std::unique_ptr<CircleGen> m_best;
};

// The search engine on the circle problem.
class CircleEngine : public TGenEngine
{
  public:
    CircleEngine(const CircleProblem& problem, int threadCount)
        : TGenEngine(threadCount), m_problem(problem)
    {
    }

    std::unique_ptr<TPoblacion> CreaPoblacion(const TParametrosPoblacion& block) override
    {
        return std::make_unique<CirclePob>(block, m_problem);
    }

    // Inicializa on the first length points (all by default) with block for both populations.
    void Start(const TParametrosPoblacion& block, int length = -1,
               const unsigned short* firstSequence = nullptr)
    {
        if (length < 0)
            length = m_problem.PointCount();
        Inicializa(CreaPoblacion(block), CreaPoblacion(block), length, length,
                   firstSequence != nullptr, firstSequence);
    }

  private:
    const CircleProblem& m_problem;
};

} // namespace trv::test
