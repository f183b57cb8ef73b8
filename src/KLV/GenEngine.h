#pragma once

#include "KLV/CriticalSection.h"
#include "KLV/Gen.h"
#include "KLV/GenEngineInterface.h"
#include "KLV/GenRandom.h"
#include "KLV/GenTeam.h"
#include "KLV/MapGenToCola.h"
#include "KLV/Poblacion.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// The local search's interchange k (0 .. L(L - 1)/2 - 1) as its pair of positions (i, j),
// i < j: i ascending, and for each i, j descending from L - 1. Decoded in integers, so it holds
// for every gene length a 16-bit item allows.
std::pair<int, int> InterchangePair(std::int64_t k, int length);

// Linear rank selection over n genes sorted best first: index r with chance (n - r) / h,
// h = n(n + 1)/2, from one draw 0..32767.
int RankSelection(int n, int draw);

// The genetic search: populations, reference genes, per-thread workspaces and the fitness
// cache; generations run in the optimiser's worker thread (Ejecuta) with a team of threads
// inside each; the best gene is read by everyone else only through Incumbente.
//
// Lock order: generation lock, readers' lock, best-gene lock. The evaluation gate is apart:
// a data change takes the step lock first, then the gate. All locks are recursive.
class TGenEngine : public IGenEngine, public IStepLockEngine
{
  public:
    // threadCount is "NumProcs", the team's size (at least 1).
    explicit TGenEngine(int threadCount);
    // Only after the run loop has ended, with no lock held.
    ~TGenEngine() override;

    TGenEngine(const TGenEngine&) = delete;
    TGenEngine& operator=(const TGenEngine&) = delete;

    // ---- Virtual operations ---------------------------------------------------------------

    // A new population of the problem's class with the block.
    virtual std::unique_ptr<TPoblacion> CreaPoblacion(const TParametrosPoblacion& block) = 0;
    // Takes both populations, builds every gene and the first generation. firstSequence (gene
    // length items, kept by the caller for the run) when firstGiven.
    virtual void Inicializa(std::unique_ptr<TPoblacion> populationA,
                            std::unique_ptr<TPoblacion> populationB, int geneLength, int itemBound,
                            bool firstGiven, const unsigned short* firstSequence);
    // Removes item everywhere and closes the gap in the values; false (nothing changed) when
    // item is not below the item bound or no gene held it.
    virtual bool QuitaElementoRenumera(unsigned short item, bool rebuildThreadGenes);
    // count new item values, numbered at .. at + count - 1 (the old values from at move up),
    // or at the end when at is -1.
    virtual void InsertaElementos(int count, int at);
    virtual void PreparaGeneracion(int /*flag*/) {}
    // Re-evaluates everything after a change of data: populations, betters, first, best and
    // incumbent genes; the cache is emptied and the next statistics step publishes.
    virtual void Revalora();
    virtual void PasoExtra() {}
    // A re-seed of the current population (partial, full, or bringing betters back).
    virtual void Bombea();

    // ---- Running --------------------------------------------------------------------------

    // The run loop, until running is 0 when tested (or the generation limit is reached).
    void Ejecuta(const std::atomic<int>& running);
    // One generation in the calling thread.
    void Generacion();
    // Wakes a run loop waiting (paused, stopped or without items) to test its state at once.
    void Wake();
    // A run that stops by itself once the generation counter reaches limit (0: no limit).
    void SetGenerationLimit(int limit) { m_generationLimit = limit; }
    // The stream of the run: Inicializa starts the engine's stream and the child slots' from
    // it (TGenRandom::kDefaultSeed unless set).
    void SetSeed(std::uint64_t seed) { m_seed = seed; }
    std::uint64_t GetSeed() const { return m_seed; }

    void Estadisticas();
    // The local search of the best gene, when the search has stagnated long enough.
    void MutacionesGeneticas();
    // One pass of every insertion move, then one of every interchange, on the current
    // population's gene 0 (parallel, in rounds).
    void Inserciones();
    void Intercambios();

    // ---- The result -----------------------------------------------------------------------

    // The incumbent gene; with update it first takes the best gene (or the betters' best when
    // cheaper), fully re-evaluated when reevaluate. A consistent read holds the readers' lock.
    TGen* Incumbente(const char* caller, bool reevaluate, bool update);
    // Makes the sequence gene 0 and publishes it. The caller holds the step lock. A sequence
    // of another length than the genes', or with an item out of bound or repeated, is refused.
    bool ImponeGen(const unsigned short* items, int count);

    // ---- Item changes (under the step lock) -----------------------------------------------

    bool AnadeElemento(unsigned short item, bool revalue);
    bool QuitaElemento(unsigned short item);
    void AnadeElementos(int count, const unsigned short* items);
    void QuitaElementos(int count, const unsigned short* items);

    // ---- Evaluation gate ------------------------------------------------------------------

    // Holds new evaluations back and waits until none is in flight, then holds the gate.
    // Paused it does nothing. True when it took the gate: pass it to SalePausa.
    bool EntraPausa() override;
    void SalePausa(bool taken) override;
    // Holders of and waiters for the gate.
    int GetPauseCounter() const;
    int GetEvaluationsInFlight() const;

    // ---- Pause and locks ------------------------------------------------------------------

    void SetPaused(bool paused);
    std::recursive_mutex& GetReadersLock() { return m_readersLock; }
    std::recursive_mutex& GetBestGeneLock() { return m_bestGeneLock; }
    std::recursive_mutex& GetFullEvaluationLock() { return m_fullEvaluationLock; }
    void SetRevalueRequest() { m_revalueRequest = 1; }
    void SetHookRequest() { m_hookRequest = 1; }

    // ---- State ----------------------------------------------------------------------------

    int GetGeneration() const { return m_generation.load(); }
    float GetBestValue() const { return m_bestValue; }
    bool GetImproved() const { return m_improved != 0; }
    bool GetBestChanged() const { return m_bestChanged != 0; }
    int GetLastBestImprovement() const { return m_lastBestImprovement; }
    int GetReseedCounter() const { return m_reseedCounter; }
    int GetLastLocalSearchStart() const { return m_lastLocalSearchStart; }
    int GetLastLocalSearchEnd() const { return m_lastLocalSearchEnd; }
    TPoblacion* GetNextPopulation() { return m_next; }
    TGen* GetBestGene() { return m_best.get(); }
    const TThreadTeam& GetTeam() const { return m_team; }

    // ---- IGenEngine -----------------------------------------------------------------------

    int GetItemBound() const override { return m_itemBound; }
    void RaiseItemBound(int bound) override { m_itemBound = std::max(m_itemBound, bound); }
    TPoblacion* GetCurrentPopulation() override { return m_current; }
    TPoblacion* GetBetters() override { return m_betters.get(); }
    TGen* GetFirstGene() override { return m_first.get(); }
    const unsigned short* GetFirstSequence() const override
    {
        return m_firstGiven ? m_firstSequence : nullptr;
    }
    CMapGenToCola& GetCache() override { return m_cache; }
    TGenRandom& GetRandom() override { return m_random; }
    int GetThreadCount() const override { return static_cast<int>(m_workspaces.size()); }
    const std::shared_ptr<TEstructurasOptimizacion>& GetThreadWorkspace(int thread) override
    {
        return m_workspaces[thread];
    }
    void PublishBest() override;
    void EsperaPaso() override;
    bool IsPaused() const override { return m_paused.load() != 0; }
    void SetImproved() override { m_improved = 1; }
    void RaiseReseedCounter() override { ++m_reseedCounter; }
    void ResetForTotalReseed() override;
    void MarkLocalSearchEnd() override { m_lastLocalSearchEnd = m_generation.load(); }
    void EnterEvaluation() override;
    void LeaveEvaluation() override;

    // ---- IStepLockEngine ------------------------------------------------------------------

    void EnterGenerationStep() override { m_generationLock.lock(); }
    void LeaveGenerationStep() override { m_generationLock.unlock(); }
    void SetPopulationStopFlags(int value) override;

  private:
    // One generation's work after the local search, under the generation lock.
    void ReseedTest();
    void Reproduce();
    void BreedChild(int slot, int thread, int& tries, bool againstLowerSlots);
    bool IsDuplicate(const TGen& child, int slot, bool againstLowerSlots) const;
    void Fusiona();
    void Breed();
    int WatchedRank() const;
    void CreaGenesHilos();
    void ReiniciaEstructuras();
    // Shared by both passes: count candidate moves, candidate k applied to a gene by move.
    template <class Move>
    void LocalSearchPass(std::int64_t count, TThreadTeam::ESchedule schedule, Move move);
    // The local search's period and the generations it counts: N - S, at least 1.
    int ChildrenPerGeneration() const;
    bool StopRequested() const;
    void WaitIdle(const std::atomic<int>& running);
    // The cache's key length becomes the genes' length.
    void FollowGeneLength();
    void StampImprovement();

    std::recursive_mutex m_bestGeneLock;
    std::recursive_mutex m_readersLock;
    std::recursive_mutex m_fullEvaluationLock;
    std::recursive_mutex m_generationLock;

    // Evaluation gate: in-flight evaluations and the holder of the gate. The two counters are
    // atomic so that an evaluation enters and leaves without the mutex while no pause is asked;
    // they change under the mutex otherwise, so that waiters are woken.
    mutable std::mutex m_gateMutex;
    std::condition_variable m_gateChanged;
    std::atomic<int> m_pauseCounter{0};
    std::atomic<int> m_inFlight{0};
    int m_gateDepth = 0;
    std::thread::id m_gateOwner;

    // The run loop's idle wait.
    std::mutex m_idleMutex;
    std::condition_variable m_idleWake;
    std::uint64_t m_wakeups = 0;

    TThreadTeam m_team;
    std::uint64_t m_seed = TGenRandom::kDefaultSeed;
    TGenRandom m_random;
    std::vector<TGenRandom> m_slotStreams;
    std::vector<int> m_slotTries;
    CMapGenToCola m_cache;
    std::vector<std::shared_ptr<TEstructurasOptimizacion>> m_workspaces;
    std::vector<std::unique_ptr<TGen>> m_threadGenes;

    int m_initialisations = 0;
    int m_revalueRequest = 0;
    int m_hookRequest = 0;
    std::atomic<int> m_bestChanged{0};
    std::unique_ptr<TGen> m_incumbent;
    std::unique_ptr<TGen> m_best;
    std::unique_ptr<TGen> m_first;
    std::unique_ptr<TPoblacion> m_betters;
    int m_itemBound = 0;
    std::atomic<int> m_generation{0};
    int m_generationLimit = 0;
    int m_improved = 0;
    int m_forcePublish = 0;
    int m_lastBestImprovement = 0;
    int m_lastWatchedImprovement = 0;
    float m_watchedValue = TGen::kNotEvaluated;
    std::unique_ptr<TPoblacion> m_populationA;
    std::unique_ptr<TPoblacion> m_populationB;
    TPoblacion* m_current = nullptr;
    TPoblacion* m_next = nullptr;
    bool m_firstGiven = false;
    const unsigned short* m_firstSequence = nullptr;
    float m_bestValue = TGen::kNotEvaluated;
    int m_reseedCounter = 0;
    int m_lastReseed = 0;
    int m_lastFullReseed = 0;
    int m_lastPartialReseed = 0;
    int m_lastBadTribesReseed = 0;
    int m_lastGoodTribesReseed = 0;
    int m_correctedGeneration = 0;
    int m_localSearchEnabled = 0;
    int m_lastLocalSearchEnd = 0;
    int m_lastLocalSearchStart = -1;
    std::atomic<std::int64_t> m_lastImprovementTime{0};
    std::atomic<int> m_paused{0};
};
