#pragma once

#include <memory>

class CMapGenToCola;
class TGen;
class TGenRandom;
class TPoblacion;

// An evaluation workspace: the scratch tables one evaluation writes into. Genes share them
// (one per thread while the search runs); a problem class derives its own.
class TEstructurasOptimizacion
{
  public:
    virtual ~TEstructurasOptimizacion() = default;
};

// What genes and populations need of the engine that owns them. The search engine implements
// it; keeping it this narrow lets the framework's genes and populations be tested alone.
class IGenEngine
{
  public:
    virtual ~IGenEngine() = default;

    // One more than the largest item value any gene may hold.
    virtual int GetItemBound() const = 0;
    // Raises the item bound to bound when it is lower; never lowers it.
    virtual void RaiseItemBound(int bound) = 0;

    // The population that holds the current generation, the one whose parameter block steers
    // the genes' construction and whose gene-length field follows the genes.
    virtual TPoblacion* GetCurrentPopulation() = 0;
    // Good genes kept across re-seeds.
    virtual TPoblacion* GetBetters() = 0;
    // The first gene of the run, restored by a total re-seed.
    virtual TGen* GetFirstGene() = 0;
    // The sequence the run starts from (gene-length items), or null for a run without one.
    virtual const unsigned short* GetFirstSequence() const = 0;

    virtual CMapGenToCola& GetCache() = 0;

    // The engine's own random stream: what the generation's own thread draws from. Breeding
    // lends each child its slot's stream instead (TGen::SetRandomStream).
    virtual TGenRandom& GetRandom() = 0;

    virtual int GetThreadCount() const = 0;
    virtual const std::shared_ptr<TEstructurasOptimizacion>& GetThreadWorkspace(int thread) = 0;

    // Under the best-gene lock: the best gene becomes a copy of gene 0 of the current
    // population and the best-changed flag is set.
    virtual void PublishBest() = 0;
    // Takes and releases the generation lock: returns once no generation step runs.
    virtual void EsperaPaso() = 0;

    virtual bool IsPaused() const = 0;
    // Tells the run loop that the populations were re-evaluated.
    virtual void SetImproved() = 0;

    // Re-seeds since the last total re-seed, raised by every re-seed.
    virtual void RaiseReseedCounter() = 0;
    // A total re-seed starts the search over: the local search marks (last start -1, last end
    // 0), the re-seed counter and the generations of the last re-seeds go back to 0.
    virtual void ResetForTotalReseed() = 0;
    // The last local search end becomes the current generation.
    virtual void MarkLocalSearchEnd() = 0;

    // Brackets every evaluation: it registers as in flight, after waiting while the engine
    // holds its evaluation gate for a data change (TGenEngine::EntraPausa).
    virtual void EnterEvaluation() {}
    virtual void LeaveEvaluation() {}
};
