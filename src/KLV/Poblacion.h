#pragma once

#include "KLV/Gen.h"
#include "KLV/GenEngineInterface.h"
#include "containers/SmartArray.h"

#include <atomic>
#include <memory>
#include <utility>

// The search parameters every population of a run reads: 22 four-byte fields, filled from the
// configuration at every engine start. The defaults are the values before the configuration
// is read.
struct TParametrosPoblacion
{
    int identityStart = 0;           // 1: non-zero builds genes 1.. as 0, 1, 2 ... (unused)
    int survivors = 10;              // 2: S, genes 0 .. S - 1 survive a generation
    int populationSize = 50;         // 3: N
    int geneLength = 20;             // 4: kept equal to the genes' length by the engine
    int breedingRetries = 60;        // 5: retries of a duplicate child; 0 or less: random
    float mutationPercent = 5.0f;    // 6: chance that a child is a mutated copy
    float reversalPercent = 5.0f;    // 7: chance that the first parent is reversed
    int fullReseedCount = 10;        // 8: re-seed number that re-seeds in full
    int stagnationForReseed = 10000; // 9: generations without improvement before a re-seed
    int watchedRankOffset = 4;       // 10: added to the betters' count: the watched rank
    int reseedStart = 5;             // 11: read from the configuration, not used
    int badTribesReseedCount = 4;    // 12: re-seed number that brings the worse betters back
    int goodTribesReseedCount = 5;   // 13: re-seed number that brings every better back
    int localSearchStart = 999;      // 14: stagnant generations before the first local search
    int localSearchStep = 499;       // 15: least generations between local searches
    int localSearchStateA = 0;       // 16: set to 0 by every local search, not read
    int localSearchStateB = 1;       // 17: set to 1 by every local search, not read
    int longestMovedSegment = 10;    // 18: longest segment of the segment mutation
    int mostKeptGoodGenes = 5;       // 19: a full re-seed only while the betters are this few
    int workerThreadPriority = -2;   // 20: priority of the parallel loops' threads (-2 lowest)
    int reseedBest = 1;              // 21: 0 keeps gene 0 in a partial re-seed
    int randomFirstGene = 0;         // 22: non-zero builds first genes at random

    // S for a generation that breeds children: N - children, within 0 .. N.
    void SetChildren(int children);

    // True when a population can be built from the block; otherwise traces what is wrong.
    bool Validate() const;
};

static_assert(sizeof(TParametrosPoblacion) == 22 * 4, "the block is 22 four-byte fields");

// A population: N genes sorted by ascending cost after every sort, the parameter block that
// steers the search, and the operations that fill, sort, re-evaluate and re-seed them. A
// problem class derives it to build its own genes (NuevoGen).
//
// Changed only by the thread that holds the engine's generation lock, except in the parallel
// loops, which write disjoint genes.
class TPoblacion
{
  public:
    // S is kept within 0 .. N and N at least 1, so a bad block can never index outside the
    // genes; Validate tells the caller that refuses it.
    explicit TPoblacion(const TParametrosPoblacion& parameters);

    TPoblacion(const TPoblacion&) = delete;
    TPoblacion& operator=(const TPoblacion&) = delete;

    // ---- Virtual operations -------------------------------------------------------------

    virtual ~TPoblacion() = default;
    // Fills the population: gene 0 the first gene of the run (loadFirst) or random, the others
    // random and, as far as 12 draws allow, of costs not yet met; then sorts.
    virtual void Inicializa(bool loadFirst);
    // Cumulative selection weights from the squared distance to the worst cost.
    virtual void PesosCuadraticos();
    // Cumulative selection weights from the linear distance to the worst cost. The base
    // measures the cost; a problem with another value overrides it.
    virtual void PesosLineales();
    // A new gene of the problem for the engine, sharing workspace or borrowing the engine's.
    virtual TGen* NuevoGen(std::shared_ptr<TEstructurasOptimizacion> workspace) = 0;
    // The problem's improvement pass after the local search's interchanges.
    virtual void IntercambiosPersonalizados() {}

    // ---- Sorting and search -------------------------------------------------------------

    // Bubble sort by ascending cost, at most passes passes, then the best gene published.
    void OrdenaBurbuja(int passes);
    // Inserts the children S .. N - 1 into the sorted survivors; an equal cost goes after the
    // gene already there.
    void Ordena();
    // Binary search of cost among genes 0 .. n - 1: whether it is there, and the position it
    // was found at or would be inserted at.
    std::pair<bool, int> BuscaCoste(float cost, int n) const;

    // ---- Re-evaluation and re-seeding ---------------------------------------------------

    // Every gene repaired and evaluated, then sorted unless the engine is paused.
    void Revalua();
    // A re-seed: full, bringing back the worse betters (bad) or all of them (good).
    void Randomiza(bool full, bool bad, bool good);

    // ---- Genes --------------------------------------------------------------------------

    // Fills every gene slot with a new gene of the problem.
    void CreaGenes();
    // Items and cost of each gene of other into the gene at the same position.
    void CopiaDe(const TPoblacion& other);
    // Appends an owned gene; the population grows by one.
    void AnadeGen(TGen* gene);
    // Gives every gene without its own workspace the workspace of thread (position mod thread
    // count), then lets every gene rebuild its tables.
    void AsignaEstructuras();

    // Item changes on every gene; each keeps the gene-length field equal to gene 0's length.
    bool AnadeElemento(unsigned short item);
    bool QuitaElemento(unsigned short item);
    void AnadeElementos(int count, const unsigned short* items);
    void QuitaElementos(int count, const unsigned short* items);
    bool QuitaYRenumera(unsigned short item);
    void Renumera(int k);

    // ---- Data ---------------------------------------------------------------------------

    TParametrosPoblacion& Parametros() { return m_parameters; }
    const TParametrosPoblacion& Parametros() const { return m_parameters; }
    int GetSize() const { return m_parameters.populationSize; }
    int GetSurvivors() const { return m_parameters.survivors; }
    void SetGeneLength(int length) { m_parameters.geneLength = length; }

    TGen* GetGen(int index) const { return m_genes[index]; }
    int GetGeneSlots() const { return m_genes.GetSize(); }
    // Exchanges gene pointers: genes move between populations without copying items.
    void ExchangeGen(int index, TPoblacion& other, int otherIndex);
    void ExchangeGen(int index, int otherIndex);

    IGenEngine* GetEngine() const { return m_engine; }
    void SetEngine(IGenEngine* engine) { m_engine = engine; }

    // Non-zero asks the parallel loops to skip their remaining iterations and the run loop
    // to wait. Raised from another thread.
    int GetStopFlag() const { return m_stop.load(); }
    void SetStopFlag(int value) { m_stop.store(value); }
    int GetLocalSearchRunning() const { return m_localSearchRunning.load(); }
    void SetLocalSearchRunning(int value) { m_localSearchRunning.store(value); }

    float GetWorstCost() const { return m_worstCost; }

  private:
    // The selection weights as running sums of each gene's weight over the total.
    template <class WeightOf> void CumulativeWeights(WeightOf weightOf);
    void UpdateGeneLength();
    void TraceCosts() const;

    TParametrosPoblacion m_parameters;
    IGenEngine* m_engine = nullptr;
    CSmartPtrArray<TGen> m_genes;
    std::atomic<int> m_stop{0};
    std::atomic<int> m_localSearchRunning{0};
    float m_worstCost = 0.0f;
};

// Applies a population's worker-thread priority (field 20, Win32 scale: -1 below normal, -2
// lowest, -15 idle) to the calling thread as a nice value. A thread may only lower its own
// priority: a priority at or above normal, or a refusal by the system, leaves it as it is.
void SetWorkerThreadPriority(int priority);
