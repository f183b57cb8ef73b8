#include "KLV/GenEngine.h"

#include "KLV/Trace.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <ctime>

#define GEN_TRACE(level, method, ...)                                                              \
    WriteTrace("GenEngine.cpp", __LINE__, (method), (level), false, __VA_ARGS__)

namespace {

// Candidates of one local search round: all are evaluated from the round's start sequence, so
// the move taken does not depend on which thread evaluated what.
constexpr std::int64_t kRoundCandidates = 256;
// Redraws of a second parent that came out the same gene as the first.
constexpr int kMostSecondParentDraws = 10000;
constexpr auto kIdleWait = std::chrono::milliseconds(500);

int Scaled(int draw, int n)
{
    return static_cast<int>(static_cast<std::int64_t>(draw) * n / 32768);
}

bool PercentDraw(float percent, int draw)
{
    return percent > static_cast<float>(draw) * 0.0030517578125f;
}

std::int64_t IntegerSqrt(std::int64_t x)
{
    auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(x)));
    while (root * root > x)
        --root;
    while ((root + 1) * (root + 1) <= x)
        ++root;
    return root;
}

} // namespace

std::pair<int, int> InterchangePair(std::int64_t k, int length)
{
    const std::int64_t n = length;
    const std::int64_t pairs = n * (n - 1) / 2;
    assert(k >= 0 && k < pairs);
    const std::int64_t x = (pairs - k) * 8 - 7;
    const std::int64_t d = (IntegerSqrt(x) - 1) / 2;
    const std::int64_t i = n - d - 2;
    const std::int64_t e = 2 * (d + 2);
    const std::int64_t j = n - (2 * (e - 3) * (e - 3) - (e - 5) * (e - 5) - x) / 8 - 1;
    assert(i >= 0 && i < j && j < n);
    return {static_cast<int>(i), static_cast<int>(j)};
}

int RankSelection(int n, int draw)
{
    const float h = static_cast<float>(n) * static_cast<float>(n + 1) / 2.0f;
    const auto k = std::trunc(h * static_cast<float>(draw) / 32768.0f);
    const float nn = static_cast<float>(n) * static_cast<float>(n + 1);
    const auto j =
        static_cast<int>(std::trunc((std::sqrt(4.0f * (nn - 2.0f * k) - 7.0f) + 1.0f) * 0.5f));
    // Single precision may land one rank outside for large populations.
    return std::clamp(n - j, 0, n - 1);
}

// ---- Construction ------------------------------------------------------------------------------

TGenEngine::TGenEngine(int threadCount) : m_team(threadCount) {}

TGenEngine::~TGenEngine()
{
    if (trv::GetCurrentStepEngine() == this)
        trv::SetCurrentStepEngine(nullptr);
}

void TGenEngine::Inicializa(std::unique_ptr<TPoblacion> populationA,
                            std::unique_ptr<TPoblacion> populationB, int geneLength, int itemBound,
                            bool firstGiven, const unsigned short* firstSequence)
{
    assert(populationA && populationB && geneLength >= 0);
    m_cache.Inicializa(geneLength);
    m_firstGiven = firstGiven;
    m_firstSequence = firstSequence;
    ++m_initialisations;
    {
        std::lock_guard gate(m_gateMutex);
        m_pauseCounter = 0;
    }
    m_itemBound = itemBound;
    m_random.Seed(m_seed);

    m_populationA = std::move(populationA);
    m_populationB = std::move(populationB);
    m_current = m_populationA.get();
    m_next = m_populationB.get();
    for (TPoblacion* population : {m_current, m_next}) {
        population->SetGeneLength(geneLength);
        population->SetEngine(this);
    }
    m_generation = 0;

    // The first gene makes the workspaces, so it is made before there are any to share.
    m_workspaces.clear();
    m_first.reset(m_current->NuevoGen(nullptr));
    for (int t = 0; t < m_team.GetSize(); ++t)
        m_workspaces.push_back(m_first->NuevaEstructura());
    m_first->AssignWorkspace(m_workspaces[0]);
    m_best.reset(m_current->NuevoGen(nullptr));
    // Other threads re-evaluate the incumbent while the team evaluates in the thread
    // workspaces, so it has one of its own.
    m_incumbent.reset(m_current->NuevoGen(m_first->NuevaEstructura()));
    CreaGenesHilos();
    m_current->CreaGenes();
    m_next->CreaGenes();

    TParametrosPoblacion bettersBlock = m_current->Parametros();
    bettersBlock.survivors = 0;
    bettersBlock.populationSize = 1;
    m_betters = CreaPoblacion(bettersBlock);
    m_betters->SetEngine(this);
    m_betters->CreaGenes();

    m_improved = 0;
    m_revalueRequest = 0;
    m_hookRequest = 0;
    m_current->Inicializa(true);
    m_paused = 0;
    m_next->CopiaDe(*m_current);
    {
        std::lock_guard lock(m_bestGeneLock);
        PublishBest();
        m_incumbent->Copia(*m_best);
        m_first->Copia(*m_best);
        m_betters->GetGen(0)->Copia(*m_best);
    }

    m_bestValue = TGen::kNotEvaluated;
    m_watchedValue = TGen::kNotEvaluated;
    m_improved = 1;
    m_lastBestImprovement = 0;
    m_lastWatchedImprovement = 0;
    StampImprovement();
    m_reseedCounter = 0;
    m_lastReseed = m_lastFullReseed = m_lastPartialReseed = 0;
    m_lastBadTribesReseed = m_lastGoodTribesReseed = 0;
    m_localSearchEnabled = 0;
    m_lastLocalSearchEnd = 0;
    m_lastLocalSearchStart = -1;
}

void TGenEngine::CreaGenesHilos()
{
    m_threadGenes.clear();
    for (int t = 0; t < m_team.GetSize(); ++t)
        m_threadGenes.emplace_back(m_current->NuevoGen(m_workspaces[t]));
}

void TGenEngine::ReiniciaEstructuras()
{
    for (TPoblacion* population : {m_current, m_next, m_betters.get()})
        population->AsignaEstructuras();
    for (TGen* gene : {m_incumbent.get(), m_best.get(), m_first.get()})
        gene->Reinicia();
}

void TGenEngine::StampImprovement()
{
    m_lastImprovementTime = static_cast<std::int64_t>(std::time(nullptr));
}

// ---- Run loop ----------------------------------------------------------------------------------

bool TGenEngine::StopRequested() const
{
    return m_current && m_current->GetStopFlag() != 0;
}

void TGenEngine::Wake()
{
    {
        std::lock_guard lock(m_idleMutex);
        ++m_wakeups;
    }
    m_idleWake.notify_all();
}

void TGenEngine::WaitIdle(const std::atomic<int>& running)
{
    std::unique_lock lock(m_idleMutex);
    const auto seen = m_wakeups;
    m_idleWake.wait_for(lock, kIdleWait, [&] { return !running.load() || m_wakeups != seen; });
}

void TGenEngine::Ejecuta(const std::atomic<int>& running)
{
    while (running.load()) {
        if (m_generationLimit > 0 && m_generation.load() >= m_generationLimit)
            return;
        if (IsPaused() || StopRequested()) {
            WaitIdle(running);
            continue;
        }
        std::unique_lock step(m_generationLock);
        // A stop asked while this thread waited for the lock ends the loop before another
        // generation.
        if (!running.load())
            return;
        if (m_current->GetGen(0)->GetLength() == 0) {
            step.unlock();
            WaitIdle(running);
            continue;
        }
        MutacionesGeneticas();
        ReseedTest();
        Breed();
        Estadisticas();
        ++m_generation;
    }
}

void TGenEngine::Generacion()
{
    if (m_current->GetGen(0)->GetLength() == 0)
        return;
    {
        std::lock_guard step(m_generationLock);
        if (m_revalueRequest) {
            m_revalueRequest = 0;
            PreparaGeneracion(1);
        }
        MutacionesGeneticas();
        ReseedTest();
        if (m_hookRequest)
            PasoExtra();
        Breed();
        Estadisticas();
    }
    ++m_generation;
}

void TGenEngine::ReseedTest()
{
    const int generation = m_generation.load();
    m_correctedGeneration = generation;
    if (m_lastWatchedImprovement <= m_lastLocalSearchStart)
        m_correctedGeneration += m_lastLocalSearchStart - m_lastLocalSearchEnd;
    if (m_correctedGeneration - m_lastWatchedImprovement >=
        m_current->Parametros().stagnationForReseed)
        Bombea();
}

void TGenEngine::Breed()
{
    Reproduce();
    Fusiona();
    std::swap(m_current, m_next);
    m_current->Ordena();
}

// ---- Statistics and re-seeding
// -------------------------------------------------------------------

int TGenEngine::WatchedRank() const
{
    const TParametrosPoblacion& block = m_current->Parametros();
    const int rank = std::min(m_betters->GetSize() + block.watchedRankOffset, block.survivors);
    // With every gene a survivor the rank would name the slot past the last gene.
    return std::clamp(rank, 0, m_current->GetSize() - 1);
}

void TGenEngine::Estadisticas()
{
    constexpr const char* kMethod = "TGenEngine::Estadisticas";
    const float cost = m_current->GetGen(0)->GetCoste();
    if (m_bestValue > cost) {
        GEN_TRACE(3, kMethod, "Mejora. LastIncu=%f. NewIncu=%f", static_cast<double>(m_bestValue),
                  static_cast<double>(cost));
        m_bestValue = cost;
        m_lastBestImprovement = m_generation.load();
        StampImprovement();
        m_improved = 1;
    } else {
        m_improved = 0;
    }
    const int rank = WatchedRank();
    const float watched = m_current->GetGen(rank)->GetCoste();
    if (m_watchedValue > watched) {
        GEN_TRACE(3, kMethod,
                  "Mejora Variacion. Generación=%d. Pos=%d. LastVariacionValor=%f. "
                  "NewLastVariacionValor=%f. NewIncu=%f. Posamirar:%d. MejorGen:%f",
                  m_generation.load(), rank, static_cast<double>(m_watchedValue),
                  static_cast<double>(watched), static_cast<double>(cost), rank,
                  static_cast<double>(cost));
        m_watchedValue = watched;
        m_lastWatchedImprovement = m_generation.load();
    }
    if (m_improved || m_forcePublish) {
        std::lock_guard lock(m_bestGeneLock);
        PublishBest();
        m_forcePublish = 0;
    }
}

void TGenEngine::Bombea()
{
    constexpr const char* kMethod = "TGenEngine::Bombea";
    const TParametrosPoblacion& block = m_current->Parametros();
    const int generation = m_generation.load();
    GEN_TRACE(3, kMethod,
              "NumSteps: %d. NumStepsCorregidos: %d, StepIncu: %d. StepVariacion: %d, "
              "LastBombeoCompleto: %d, LastBombeo: %d...%d, LastBombeoParcial: %d, "
              "LastBombeoMalos: %d, LastBombeoBuenos: %d",
              generation, m_correctedGeneration, m_lastBestImprovement, m_lastWatchedImprovement,
              m_lastFullReseed, m_lastReseed, block.badTribesReseedCount, m_lastPartialReseed,
              m_lastBadTribesReseed, m_lastGoodTribesReseed);
    const int count = m_reseedCounter;
    {
        // Incumbente reads the betters, which a re-seed may extend.
        std::lock_guard lock(m_bestGeneLock);
        if (count == block.fullReseedCount) {
            m_current->Randomiza(true, false, false);
            m_lastFullReseed = generation;
        } else {
            const bool bad = count == block.badTribesReseedCount;
            const bool good = count == block.goodTribesReseedCount;
            m_current->Randomiza(false, bad, good);
            (bad    ? m_lastBadTribesReseed
             : good ? m_lastGoodTribesReseed
                    : m_lastPartialReseed) = generation;
        }
    }
    m_lastReseed = generation;
    m_bestValue = m_current->GetGen(0)->GetCoste();
    m_watchedValue = m_current->GetGen(WatchedRank())->GetCoste();
    GEN_TRACE(3, kMethod, "Nuevo LastVariacionValor: %f", static_cast<double>(m_watchedValue));
}

void TGenEngine::ResetForTotalReseed()
{
    m_lastLocalSearchStart = -1;
    m_lastLocalSearchEnd = 0;
    m_reseedCounter = 0;
    m_lastReseed = m_lastFullReseed = m_lastPartialReseed = 0;
    m_lastBadTribesReseed = m_lastGoodTribesReseed = 0;
}

// ---- Breeding
// ------------------------------------------------------------------------------------

int TGenEngine::ChildrenPerGeneration() const
{
    return std::max(m_current->GetSize() - m_current->GetSurvivors(), 1);
}

bool TGenEngine::IsDuplicate(const TGen& child, int slot, bool againstLowerSlots) const
{
    const float cost = child.GetCoste();
    const int survivors = m_current->GetSurvivors();
    if (m_current->BuscaCoste(cost, survivors).first)
        return true;
    if (!againstLowerSlots)
        return false;
    for (int k = survivors; k < slot; ++k)
        if (m_next->GetGen(k)->GetCoste() == cost)
            return true;
    return false;
}

void TGenEngine::BreedChild(int slot, int thread, int& tries, bool againstLowerSlots)
{
    TGen& child = *m_next->GetGen(slot);
    child.SetWorkspaceInUse(m_workspaces[thread].get());
    child.SetRandomStream(&m_slotStreams[slot]);
    const TParametrosPoblacion& block = m_current->Parametros();
    const int size = m_current->GetSize();
    if (block.breedingRetries <= 0) {
        child.Azar();
    } else {
        for (;;) {
            const TGen* parent1 = m_current->GetGen(RankSelection(size, child.Rand()));
            if (PercentDraw(block.mutationPercent, child.Rand())) {
                child.Copia(*parent1);
                child.MutacionSegmento();
            } else {
                if (PercentDraw(block.reversalPercent, child.Rand())) {
                    TGen& reversed = *m_threadGenes[thread];
                    reversed.Copia(*parent1);
                    std::reverse(reversed.GetItems(), reversed.GetItems() + reversed.GetLength());
                    parent1 = &reversed;
                }
                const TGen* parent2 = m_current->GetGen(RankSelection(size, child.Rand()));
                for (int draw = 0; parent2 == parent1 && draw < kMostSecondParentDraws; ++draw)
                    parent2 = m_current->GetGen(RankSelection(size, child.Rand()));
                const int length = parent1->GetLength();
                const int start = Scaled(child.Rand(), length);
                if (Scaled(child.Rand(), 2) == 0) {
                    const int end = std::min(start + Scaled(child.Rand(), 30), length - 1);
                    child.CruceDosPuntos(start, end, *parent1, *parent2);
                } else {
                    const int other = Scaled(child.Rand(), length);
                    child.CruceDosPuntos(std::min(start, other), std::max(start, other), *parent1,
                                         *parent2);
                }
            }
            if (!IsDuplicate(child, slot, againstLowerSlots))
                break;
            if (++tries >= block.breedingRetries) {
                child.Azar();
                break;
            }
        }
    }
    child.SetRandomStream(nullptr);
    child.SetWorkspaceInUse(nullptr);
}

void TGenEngine::Reproduce()
{
    const int size = m_current->GetSize();
    const int survivors = m_current->GetSurvivors();
    if (survivors >= size)
        return;
    if (static_cast<int>(m_slotStreams.size()) < size) {
        m_slotStreams.resize(static_cast<std::size_t>(size));
        m_slotTries.resize(static_cast<std::size_t>(size));
    }
    const int generation = m_generation.load();
    for (int slot = survivors; slot < size; ++slot) {
        m_slotStreams[slot] = TGenRandom::ForChildSlot(m_seed, generation, slot);
        m_slotTries[slot] = 0;
    }
    const int priority = m_current->Parametros().workerThreadPriority;
    m_team.For(
        TThreadTeam::ESchedule::Static, size - survivors,
        [priority](int) { SetWorkerThreadPriority(priority); },
        [&](std::int64_t i, int thread) {
            const int slot = survivors + static_cast<int>(i);
            BreedChild(slot, thread, m_slotTries[slot], false);
        });

    // Children bred at the same time cannot see each other: duplicates among them are found
    // here, in slot order, so the outcome does not depend on the threads.
    const int retries = m_current->Parametros().breedingRetries;
    if (retries <= 0)
        return;
    for (int slot = survivors; slot < size; ++slot) {
        int& tries = m_slotTries[slot];
        if (tries >= retries || !IsDuplicate(*m_next->GetGen(slot), slot, true))
            continue;
        if (++tries >= retries) {
            TGen& child = *m_next->GetGen(slot);
            child.SetRandomStream(&m_slotStreams[slot]);
            child.Azar();
            child.SetRandomStream(nullptr);
            continue;
        }
        BreedChild(slot, 0, tries, true);
    }
}

void TGenEngine::Fusiona()
{
    const int size = m_current->GetSize();
    const int survivors = m_current->GetSurvivors();
    if (survivors < size / 2) {
        for (int i = 0; i < survivors; ++i)
            m_current->ExchangeGen(i, *m_next, i);
        return;
    }
    std::swap(m_current, m_next);
    for (int i = survivors; i < size; ++i)
        m_current->ExchangeGen(i, *m_next, i);
}

// ---- Local search
// ----------------------------------------------------------------------------------

void TGenEngine::MutacionesGeneticas()
{
    constexpr const char* kMethod = "TGenEngine::MutacionesGeneticas";
    TPoblacion& population = *m_current;
    TParametrosPoblacion& block = population.Parametros();
    block.localSearchStateB = 1;
    block.localSearchStateA = 0;
    const int generation = m_generation.load();
    const int stagnant = generation - m_lastBestImprovement;
    if (stagnant > block.localSearchStart)
        m_localSearchEnabled = 1;
    else if (!m_localSearchEnabled)
        return;
    if (stagnant < block.localSearchStep ||
        generation - m_lastLocalSearchEnd < block.localSearchStep ||
        m_lastBestImprovement <= m_lastLocalSearchStart)
        return;

    GEN_TRACE(3, kMethod, "Entering the genetic mutations");
    m_lastLocalSearchStart = generation;
    auto bestCost = [&] { return m_current->GetGen(0)->GetCoste(); };
    const float before = bestCost();
    Inserciones();
    GEN_TRACE(3, kMethod, "Fin Inserciones");
    const float afterInsertions = bestCost();
    Intercambios();
    GEN_TRACE(3, kMethod, "Fin Intercambios");
    const float afterInterchanges = bestCost();
    if (afterInterchanges != afterInsertions)
        m_lastBestImprovement = m_generation.load();
    m_lastLocalSearchEnd = m_generation.load();
    m_current->IntercambiosPersonalizados();
    GEN_TRACE(3, kMethod, "Fin Intercambios Inteligentes personalizados");
    const float afterCustom = bestCost();
    if (afterCustom != afterInterchanges) {
        m_lastBestImprovement = m_generation.load();
        m_lastLocalSearchEnd = m_generation.load();
    }
    GEN_TRACE(3, kMethod, "Salgo de Mutaciones genéticas");
    Estadisticas();
    m_current->AsignaEstructuras();
    GEN_TRACE(3, kMethod,
              "Antes: %0.0f Inserciones: %0.0f Intercambios: %0.0f Intercambios Int. Pers.: %0.0f",
              static_cast<double>(before), static_cast<double>(afterInsertions),
              static_cast<double>(afterInterchanges), static_cast<double>(afterCustom));
}

template <class Move>
void TGenEngine::LocalSearchPass(std::int64_t count, TThreadTeam::ESchedule schedule, Move move)
{
    TPoblacion& population = *m_current;
    TGen& gene0 = *population.GetGen(0);
    population.SetLocalSearchRunning(1);
    const int length = gene0.GetLength();
    std::vector<unsigned short> best(gene0.GetItems(), gene0.GetItems() + length);
    float bestCost = gene0.GetCoste();
    std::int64_t counter = 0;
    const int children = ChildrenPerGeneration();
    const std::int64_t period = static_cast<std::int64_t>(children) * 10;
    const int threads = m_team.GetSize();

    // Each thread's cheapest strict improvement of the round, padded so threads do not share
    // a cache line.
    struct alignas(64) TThreadBest
    {
        float cost = 0.0f;
        std::int64_t candidate = -1;
        std::int64_t evaluated = 0;
        std::vector<unsigned short> items;
    };
    std::vector<std::unique_ptr<TGen>> genes;
    std::vector<TThreadBest> found(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        genes.emplace_back(population.NuevoGen(m_workspaces[t]));
        found[t].items.reserve(static_cast<std::size_t>(length));
    }

    auto takeIntoGene0 = [&] {
        if (bestCost < gene0.GetCoste()) {
            gene0.SetItems(best.data(), length);
            gene0.SetCoste(bestCost);
            StampImprovement();
        }
        m_generation += static_cast<int>(counter / children);
        counter = 0;
        Estadisticas();
    };

    const int priority = population.Parametros().workerThreadPriority;
    for (std::int64_t first = 0; first < count && !population.GetStopFlag();
         first += kRoundCandidates) {
        for (TThreadBest& threadBest : found) {
            threadBest.cost = bestCost;
            threadBest.candidate = -1;
            threadBest.evaluated = 0;
        }
        m_team.For(
            schedule, std::min(kRoundCandidates, count - first),
            [priority](int) { SetWorkerThreadPriority(priority); },
            [&](std::int64_t i, int thread) {
                if (population.GetStopFlag())
                    return;
                TGen& candidate = *genes[thread];
                candidate.SetItems(best.data(), length);
                const std::int64_t k = first + i;
                if (!move(candidate, k))
                    return;
                TThreadBest& mine = found[thread];
                ++mine.evaluated;
                const float cost = candidate.GetCoste();
                if (cost < mine.cost || (cost == mine.cost && mine.candidate > k)) {
                    mine.cost = cost;
                    mine.candidate = k;
                    mine.items.assign(candidate.GetItems(), candidate.GetItems() + length);
                }
            });
        const TThreadBest* winner = nullptr;
        for (const TThreadBest& threadBest : found) {
            counter += threadBest.evaluated;
            if (threadBest.candidate < 0)
                continue;
            if (!winner || threadBest.cost < winner->cost ||
                (threadBest.cost == winner->cost && threadBest.candidate < winner->candidate))
                winner = &threadBest;
        }
        if (winner) {
            best = winner->items;
            bestCost = winner->cost;
        }
        if (counter >= period)
            takeIntoGene0();
    }
    takeIntoGene0();
    population.SetLocalSearchRunning(0);
}

void TGenEngine::Inserciones()
{
    const int length = m_current->GetGen(0)->GetLength();
    const std::int64_t count = static_cast<std::int64_t>(length) * length;
    LocalSearchPass(count, TThreadTeam::ESchedule::Static, [length](TGen& gene, std::int64_t k) {
        const int from = static_cast<int>(k / length);
        const int to = static_cast<int>(k % length);
        if (from == to || !gene.AceptaInsercion(from, to))
            return false;
        gene.Inserta(from, to);
        return true;
    });
}

void TGenEngine::Intercambios()
{
    const int length = m_current->GetGen(0)->GetLength();
    const std::int64_t count = static_cast<std::int64_t>(length) * (length - 1) / 2;
    LocalSearchPass(count, TThreadTeam::ESchedule::Dynamic, [length](TGen& gene, std::int64_t k) {
        const auto [i, j] = InterchangePair(k, length);
        if (!gene.AceptaIntercambio(i, j))
            return false;
        gene.Intercambia(i, j);
        return true;
    });
}

// ---- The result ---------------------------------------------------------------------------------

void TGenEngine::PublishBest()
{
    std::lock_guard lock(m_bestGeneLock);
    m_best->Copia(*m_current->GetGen(0));
    m_bestChanged = 1;
}

void TGenEngine::EsperaPaso()
{
    std::lock_guard step(m_generationLock);
}

TGen* TGenEngine::Incumbente(const char* caller, bool reevaluate, bool update)
{
    GEN_TRACE(2, "TGenEngine::Incumbente", "Called by: %s", caller);
    std::lock_guard readers(m_readersLock);
    std::lock_guard best(m_bestGeneLock);
    if (m_bestChanged && update) {
        const TGen& better = *m_betters->GetGen(0);
        if (better.GetCoste() >= m_best->GetCoste())
            m_incumbent->Copia(*m_best);
        else if (m_incumbent->GetCoste() >= better.GetCoste())
            m_incumbent->Copia(better);
        m_bestChanged = 0;
        if (reevaluate) {
            std::lock_guard full(m_fullEvaluationLock);
            m_incumbent->Repara();
            m_incumbent->EvaluateCost(0);
        }
    }
    return m_incumbent.get();
}

bool TGenEngine::ImponeGen(const unsigned short* items, int count)
{
    TGen& gene0 = *m_current->GetGen(0);
    // Checked on a scratch gene first: a sequence that is not a permutation of the genes'
    // values would make every crossover with gene 0 write outside its child.
    TGen& check = *m_threadGenes[0];
    check.SetItems(items, count);
    if (count != gene0.GetLength() || !check.EsValido()) {
        GEN_TRACE(1, "TGenEngine::ImponeGen",
                  "Sequence of %d items refused: the genes hold %d distinct items below %d", count,
                  gene0.GetLength(), m_itemBound);
        return false;
    }
    gene0.SetItems(items, count);
    gene0.Repara();
    gene0.EvaluateCost(1);
    PublishBest();
    return true;
}

void TGenEngine::Revalora()
{
    TCriticalSection& section = trv::GetStepCriticalSection();
    section.EnterStepFunc(this, "TGenEngine::Revalora");
    m_current->Revalua();
    m_next->Revalua();
    {
        std::lock_guard readers(m_readersLock);
        std::lock_guard best(m_bestGeneLock);
        for (TGen* gene : {m_first.get(), m_best.get(), m_incumbent.get()}) {
            gene->Repara();
            gene->EvaluateCost(1);
        }
    }
    m_betters->Revalua();
    m_bestValue = TGen::kNotEvaluated;
    m_cache.Vacia();
    section.LeaveStepFunc("TGenEngine::Revalora");
    PublishBest();
}

// ---- Item changes
// ---------------------------------------------------------------------------------

void TGenEngine::FollowGeneLength()
{
    m_cache.SetKeyLength(m_current->GetGen(0)->GetLength());
}

bool TGenEngine::AnadeElemento(unsigned short item, bool revalue)
{
    if (!m_current->AnadeElemento(item))
        return false;
    m_next->AnadeElemento(item);
    FollowGeneLength();
    {
        std::lock_guard lock(m_bestGeneLock);
        m_incumbent->AnadeElemento(item, true, true, true);
        m_best->AnadeElemento(item, true, true, true);
        CreaGenesHilos();
        PublishBest();
    }
    m_first->AnadeElemento(item, true, true, true);
    m_betters->AnadeElemento(item);
    ReiniciaEstructuras();
    Wake();
    if (revalue)
        Revalora();
    return true;
}

bool TGenEngine::QuitaElemento(unsigned short item)
{
    if (!m_current->QuitaElemento(item))
        return false;
    m_next->QuitaElemento(item);
    {
        std::lock_guard lock(m_bestGeneLock);
        m_incumbent->QuitaElemento(item, true);
        m_best->QuitaElemento(item, true);
        CreaGenesHilos();
        PublishBest();
    }
    m_first->QuitaElemento(item, true);
    m_betters->QuitaElemento(item);
    FollowGeneLength();
    ReiniciaEstructuras();
    return true;
}

void TGenEngine::AnadeElementos(int count, const unsigned short* items)
{
    if (count <= 0)
        return;
    m_current->AnadeElementos(count, items);
    m_next->AnadeElementos(count, items);
    FollowGeneLength();
    {
        std::lock_guard lock(m_bestGeneLock);
        m_incumbent->AnadeElementos(count, items, true);
        m_best->AnadeElementos(count, items, true);
        CreaGenesHilos();
        PublishBest();
    }
    m_first->AnadeElementos(count, items, true);
    m_betters->AnadeElementos(count, items);
    ReiniciaEstructuras();
    Wake();
    Revalora();
}

void TGenEngine::QuitaElementos(int count, const unsigned short* items)
{
    if (count <= 0)
        return;
    m_current->QuitaElementos(count, items);
    m_next->QuitaElementos(count, items);
    {
        std::lock_guard lock(m_bestGeneLock);
        m_incumbent->QuitaElementos(true, count, items);
        m_best->QuitaElementos(true, count, items);
        CreaGenesHilos();
        PublishBest();
    }
    m_first->QuitaElementos(true, count, items);
    m_betters->QuitaElementos(count, items);
    FollowGeneLength();
    ReiniciaEstructuras();
}

bool TGenEngine::QuitaElementoRenumera(unsigned short item, bool rebuildThreadGenes)
{
    if (item >= m_itemBound)
        return false;
    --m_itemBound;
    bool found = m_current->QuitaYRenumera(item);
    found = m_next->QuitaYRenumera(item) || found;
    if (found)
        FollowGeneLength();
    {
        std::lock_guard lock(m_bestGeneLock);
        m_incumbent->QuitaYRenumera(item);
        m_best->QuitaYRenumera(item);
        if (rebuildThreadGenes)
            CreaGenesHilos();
        PublishBest();
    }
    m_first->QuitaYRenumera(item);
    m_betters->QuitaYRenumera(item);
    ReiniciaEstructuras();
    return found;
}

void TGenEngine::InsertaElementos(int count, int at)
{
    if (count <= 0)
        return;
    m_itemBound += count;
    const int bound = m_itemBound;
    for (int i = 0; i < count; ++i)
        AnadeElemento(static_cast<unsigned short>(bound - 1 - i), false);
    if (at != -1) {
        for (int value = at; value < at + count; ++value) {
            m_current->Renumera(value);
            m_next->Renumera(value);
            std::lock_guard lock(m_bestGeneLock);
            for (TGen* gene : {m_incumbent.get(), m_best.get(), m_first.get()})
                gene->Renumera(value);
            m_betters->Renumera(value);
        }
    }
    {
        std::lock_guard lock(m_bestGeneLock);
        CreaGenesHilos();
        PublishBest();
    }
    ReiniciaEstructuras();
}

// ---- Evaluation gate and pause
// ----------------------------------------------------------------------

void TGenEngine::EnterEvaluation()
{
    // Every evaluation of every team thread passes here, so the common case takes no lock: count
    // in, then look for a pause. A pause counts itself in before it looks at the evaluations in
    // flight (both sequentially consistent), so one of the two always sees the other.
    if (m_pauseCounter.load() == 0) {
        m_inFlight.fetch_add(1);
        if (m_pauseCounter.load() == 0)
            return;
        LeaveEvaluation();
    }
    std::unique_lock lock(m_gateMutex);
    const auto self = std::this_thread::get_id();
    // The gate's holder evaluates freely: it changed the data and waits for nobody.
    m_gateChanged.wait(lock, [&] { return m_pauseCounter.load() == 0 || m_gateOwner == self; });
    m_inFlight.fetch_add(1);
}

void TGenEngine::LeaveEvaluation()
{
    m_inFlight.fetch_sub(1);
    // Only a pause waits for the evaluations in flight to drain.
    if (m_pauseCounter.load() == 0)
        return;
    {
        std::lock_guard lock(m_gateMutex);
    }
    m_gateChanged.notify_all();
}

bool TGenEngine::EntraPausa()
{
    std::unique_lock lock(m_gateMutex);
    if (m_paused.load())
        return false;
    ++m_pauseCounter;
    const auto self = std::this_thread::get_id();
    if (m_gateDepth == 0 || m_gateOwner != self)
        m_gateChanged.wait(lock, [&] { return m_gateDepth == 0 && m_inFlight.load() == 0; });
    m_gateOwner = self;
    ++m_gateDepth;
    return true;
}

void TGenEngine::SalePausa(bool taken)
{
    if (!taken)
        return;
    {
        std::lock_guard lock(m_gateMutex);
        assert(m_gateDepth > 0 && m_gateOwner == std::this_thread::get_id());
        --m_pauseCounter;
        if (--m_gateDepth == 0)
            m_gateOwner = std::thread::id();
    }
    m_gateChanged.notify_all();
}

int TGenEngine::GetPauseCounter() const
{
    return m_pauseCounter.load();
}

int TGenEngine::GetEvaluationsInFlight() const
{
    return m_inFlight.load();
}

void TGenEngine::SetPaused(bool paused)
{
    {
        std::lock_guard lock(m_gateMutex);
        m_paused = paused ? 1 : 0;
    }
    Wake();
}

void TGenEngine::SetPopulationStopFlags(int value)
{
    for (TPoblacion* population : {m_populationA.get(), m_populationB.get()})
        if (population)
            population->SetStopFlag(value);
    if (value == 0)
        Wake();
}
