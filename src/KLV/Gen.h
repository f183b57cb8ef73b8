#pragma once

#include "KLV/GenEngineInterface.h"
#include "KLV/GenRandom.h"
#include "containers/SmartArray.h"

#include <atomic>
#include <iosfwd>
#include <memory>

// One candidate solution of the genetic search: a sequence of 16-bit items and its cost. The
// framework never knows what an item means; a problem class derives its gene, gives it an
// Evaluate and, where it needs to, its own construction, repair and move filters.
//
// A gene is changed by one thread at a time and is not locked. Its cost may be read by other
// threads while it changes (breeding's duplicate test), so the cost is an atomic.
class TGen
{
  public:
    // The cost of a gene not yet evaluated (bit pattern 0x6258D727).
    static constexpr float kNotEvaluated = 1e21f;

    // A gene of engine (or of none) with length items. A given workspace is shared; without
    // one a gene of an engine shares the engine's first per-thread workspace.
    TGen(IGenEngine* engine, int length,
         std::shared_ptr<TEstructurasOptimizacion> workspace = nullptr);

    TGen(const TGen&) = delete;
    TGen& operator=(const TGen&) = delete;

    // ---- Virtual operations -------------------------------------------------------------

    // A new workspace of this gene's problem (the base one carries nothing).
    virtual std::shared_ptr<TEstructurasOptimizacion> NuevaEstructura();
    virtual ~TGen() = default;
    // Same cost and same items.
    virtual bool Iguales(const TGen& other) const;
    // Takes cost, weight and items from other, which is left without items.
    virtual void Mueve(TGen& other);
    // Copies cost, weight and items; the workspaces stay as they were.
    virtual void Copia(const TGen& other);
    // Decodes the items, stores the cost in the gene (SetCoste) and returns it. Mode 1 is the
    // search's evaluation (any thread, in the workspace in use); mode 0 the full one.
    virtual float Evaluate(int mode) = 0;
    // A random permutation of 0 .. length - 1, evaluated through the cache.
    virtual void Azar();
    virtual void FabricaGenMejor();
    virtual void CheapestInsertion();
    // The first gene of a run: the engine's first sequence, or FabricaGenMejor without one.
    virtual void FabricaPrimerGen();
    virtual bool CompruebaGen();
    virtual void CruceUnPunto(int cut, const TGen& parent1, const TGen& parent2);
    virtual void CruceUnPuntoFinal(int cut, const TGen& parent1, const TGen& parent2);
    virtual void CruceDosPuntos(int start, int end, const TGen& parent1, const TGen& parent2);
    virtual void CruceDosPuntosInverso(int start, int end, const TGen& parent1,
                                       const TGen& parent2);
    // Moves a random segment of at most the population's longest-segment field to a random
    // place, then evaluates through the cache. Genes shorter than 2 stay as they are.
    void MutacionSegmento();
    // Makes the sequence admissible for the problem.
    virtual void Repara() {}
    // Rebuilds the problem's per-gene tables after the item set changed.
    virtual void Reinicia() {}
    // Reads a 4-byte length and that many 16-bit items (little-endian), then repairs and
    // evaluates. A short stream or a sequence EsValido would refuse leaves the gene as it was
    // and returns false.
    virtual bool Lee(std::istream& in);
    // Writes the 4-byte length and the items, little-endian; false when the stream failed.
    virtual bool Guarda(std::ostream& out) const;
    // Every item below the item bound and none twice.
    virtual bool EsValido() const;
    // Whether the local search may move the item at from to position to.
    virtual bool AceptaInsercion(int /*from*/, int /*to*/) const { return true; }
    // Whether the local search may swap positions i and j (i < j).
    virtual bool AceptaIntercambio(int /*i*/, int /*j*/) const { return true; }

    // ---- Item operations ----------------------------------------------------------------
    // A reallocating operation resizes the used flags to the item bound and stores the new
    // length in the current population's gene-length field.

    // Appends item (or puts it first). With checkRepeat an item already present is not added.
    // With reallocate the engine's item bound rises to item + 1 when needed.
    bool AnadeElemento(unsigned short item, bool atEnd, bool reallocate, bool checkRepeat);
    void AnadeElementos(int count, const unsigned short* items, bool atEnd);
    // Removes one occurrence of item; false (and nothing changed) when it is absent.
    bool QuitaElemento(unsigned short item, bool reallocate);
    // Removes every item equal to one of items.
    void QuitaElementos(bool reallocate, int count, const unsigned short* items);
    // Removes item and lowers every larger item by one, closing the gap in the values.
    bool QuitaYRenumera(unsigned short item);
    // Makes room for a new value k: the item equal to the item bound - 1 (the value just added)
    // becomes k and every other item not below k grows by one.
    void Renumera(int k);
    bool Contiene(unsigned short item) const;
    // The position of item, or the length when it is absent.
    int Posicion(unsigned short item) const;
    // The moves below end with Repara and Evaluate(1).
    void Intercambia(int i, int j);
    // Moves the item at from to position to; the items between shift by one.
    void Inserta(int from, int to);
    // Moves the block first .. last so that it starts at to, reversed when asked.
    void MueveSegmento(int first, int last, int to, bool reversed);
    // One trace line at level 3: the cost and every item.
    void GuardaTxtTrace() const;

    // Repara, then the cost from the engine's fitness cache, evaluating (outside any lock)
    // only a sequence the cache does not hold.
    void EvaluaConCache();

    // Evaluate(mode) with a NaN cost caught: a NaN is a fault of the problem's evaluation;
    // debug builds stop on it, release builds trace it and keep the gene not evaluated.
    float EvaluateCost(int mode);

    // ---- Data -----------------------------------------------------------------------------

    int GetLength() const { return m_items.GetSize(); }
    unsigned short* GetItems() { return m_items.begin(); }
    const unsigned short* GetItems() const { return m_items.begin(); }
    // Work buffer of the moves, as long as the items.
    unsigned short* GetScratchItems() { return m_scratchItems.begin(); }
    // One mark per item value (item-bound bytes) for the crossovers.
    unsigned char* GetUsedFlags() { return m_usedFlags.begin(); }
    int GetUsedFlagCount() const { return m_usedFlags.GetSize(); }
    // Replaces the items by count items (the arrays take the new length).
    void SetItems(const unsigned short* items, int count);

    float GetCoste() const { return m_cost.load(std::memory_order_relaxed); }
    void SetCoste(float cost) { m_cost.store(cost, std::memory_order_relaxed); }
    float GetPeso() const { return m_weight; }
    void SetPeso(float weight) { m_weight = weight; }

    IGenEngine* GetEngine() const { return m_engine; }

    const std::shared_ptr<TEstructurasOptimizacion>& GetWorkspace() const { return m_workspace; }
    TEstructurasOptimizacion* GetWorkspaceInUse() const { return m_workspaceInUse; }
    // Lends another workspace (a thread's) to the evaluations; null returns to the own one.
    void SetWorkspaceInUse(TEstructurasOptimizacion* workspace);
    // Whether the gene was given its workspace rather than borrowing the engine's.
    bool HasOwnWorkspace() const { return m_ownWorkspace != 0; }
    // Shares workspace and evaluates in it from now on.
    void AssignWorkspace(std::shared_ptr<TEstructurasOptimizacion> workspace);

    // Lends a random stream to the gene's draws (a child slot's during breeding); null returns
    // to the engine's stream.
    void SetRandomStream(TGenRandom* stream) { m_randomStream = stream; }
    // One draw, 0..32767, from the stream in use.
    int Rand();

  protected:
    // The engine's item bound; without an engine the gene is a permutation of its length.
    int GetItemBound() const;

  private:
    // After a change of the item set: arrays to the new length, flags to the item bound, the
    // length told to the current population.
    void Reshape(bool reallocate);
    void TraceNaN(int mode);
    // The two halves of the order crossovers (GenOperators.cpp).
    void CopySegment(const TGen& parent1, int first, int count);
    void FillInOrder(const TGen& parent2, int read, int readStep, int write, int writeStep,
                     int count);

    std::shared_ptr<TEstructurasOptimizacion> m_workspace;
    TEstructurasOptimizacion* m_workspaceInUse = nullptr;
    int m_ownWorkspace = 1;
    CSmartByteArray m_usedFlags;
    std::atomic<float> m_cost{kNotEvaluated};
    float m_weight = 0.0f;
    CSmartWordArray m_items;
    CSmartWordArray m_scratchItems;
    IGenEngine* m_engine = nullptr;
    TGenRandom* m_randomStream = nullptr;
};
