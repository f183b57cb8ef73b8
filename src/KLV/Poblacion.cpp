#include "KLV/Poblacion.h"

#include "KLV/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#define GEN_TRACE(level, method, ...)                                                              \
    WriteTrace("GenEngine.cpp", __LINE__, (method), (level), false, __VA_ARGS__)

namespace {

// A selection weight never exceeds this, so one far outlier cannot take all the weight.
constexpr float kMostWeight = 1e9f;
// Draws of a random gene of a cost not yet met, the last one kept whatever its cost.
constexpr int kMostDrawsPerGene = 12;

} // namespace

void TParametrosPoblacion::SetChildren(int children)
{
    survivors = std::clamp(populationSize - children, 0, std::max(populationSize, 0));
}

bool TParametrosPoblacion::Validate() const
{
    if (populationSize < 1) {
        GEN_TRACE(1, "TParametrosPoblacion::Validate",
                  "Population size %d refused: a population needs at least one gene",
                  populationSize);
        return false;
    }
    return true;
}

TPoblacion::TPoblacion(const TParametrosPoblacion& parameters) : m_parameters(parameters)
{
    m_parameters.populationSize = std::max(m_parameters.populationSize, 1);
    m_parameters.survivors = std::clamp(m_parameters.survivors, 0, m_parameters.populationSize);
}

// ---- Filling and weights ----------------------------------------------------------------------

void TPoblacion::Inicializa(bool loadFirst)
{
    const int size = GetSize();
    if (loadFirst)
        m_genes[0]->FabricaPrimerGen();
    else
        m_genes[0]->Azar();
    for (int k = 1; k < size; ++k) {
        TGen& gene = *m_genes[k];
        if (m_parameters.identityStart != 0) {
            unsigned short* items = gene.GetItems();
            for (int i = 0; i < gene.GetLength(); ++i)
                items[i] = static_cast<unsigned short>(i);
            gene.SetCoste(0.0f);
            continue;
        }
        for (int draw = 1;; ++draw) {
            gene.Azar();
            const float cost = gene.GetCoste();
            const bool repeated =
                std::any_of(m_genes.begin(), m_genes.begin() + k,
                            [cost](TGen* other) { return other->GetCoste() == cost; });
            if (!repeated || draw == kMostDrawsPerGene)
                break;
        }
    }
    if (m_engine) {
        if (TGen* first = m_engine->GetFirstGene())
            first->Copia(*m_genes[0]);
        if (TPoblacion* betters = m_engine->GetBetters(); betters && betters != this)
            betters->GetGen(0)->Copia(*m_genes[0]);
    }
    OrdenaBurbuja(size);
}

template <class WeightOf> void TPoblacion::CumulativeWeights(WeightOf weightOf)
{
    const int size = GetSize();
    float total = 0.0f;
    for (int i = 0; i < size; ++i)
        total += weightOf(*m_genes[i]);
    total *= 0.01f;
    float running = 0.0f;
    for (int i = 0; i < size; ++i) {
        running +=
            total == 0.0f ? 100.0f / static_cast<float>(size) : weightOf(*m_genes[i]) / total;
        m_genes[i]->SetPeso(running);
    }
}

void TPoblacion::PesosCuadraticos()
{
    CumulativeWeights([this](const TGen& gene) {
        const float distance = m_worstCost - gene.GetCoste();
        return std::min(distance * distance, kMostWeight);
    });
}

void TPoblacion::PesosLineales()
{
    CumulativeWeights(
        [this](const TGen& gene) { return std::min(m_worstCost - gene.GetCoste(), kMostWeight); });
}

// ---- Sorting and search -----------------------------------------------------------------------

void TPoblacion::OrdenaBurbuja(int passes)
{
    const int size = GetSize();
    for (int pass = 0; pass < passes; ++pass) {
        bool swapped = false;
        if (pass == 0)
            m_worstCost = m_genes[size - 1]->GetCoste();
        for (int j = size - 1; j > pass; --j) {
            if (pass == 0)
                m_worstCost = std::max(m_worstCost, m_genes[j - 1]->GetCoste());
            if (m_genes[j]->GetCoste() < m_genes[j - 1]->GetCoste()) {
                ExchangeGen(j, j - 1);
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
    if (m_engine)
        m_engine->PublishBest();
}

void TPoblacion::Ordena()
{
    const int size = GetSize();
    for (int i = GetSurvivors(); i < size; ++i) {
        auto [found, position] = BuscaCoste(m_genes[i]->GetCoste(), i);
        if (found && position != i)
            ++position;
        TGen* child = m_genes[i];
        for (int j = i; j > position; --j)
            m_genes[j] = m_genes[j - 1];
        m_genes[position] = child;
    }
    m_worstCost = m_genes[size - 1]->GetCoste();
}

std::pair<bool, int> TPoblacion::BuscaCoste(float cost, int n) const
{
    if (n <= 0)
        return {false, 0};
    auto costAt = [this](int index) { return m_genes[index]->GetCoste(); };
    if (cost >= costAt(n - 1))
        return {cost == costAt(n - 1), n};
    if (cost <= costAt(0))
        return {cost == costAt(0), 0};
    // Here c0 < cost < c(n-1), so mid - 1 and mid + 1 below stay inside 0 .. n - 1.
    int low = 0;
    int high = n - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        const float atMid = costAt(mid);
        if (atMid > cost) {
            if (cost > costAt(mid - 1))
                return {false, mid};
            high = mid - 1;
        } else if (atMid < cost) {
            low = mid + 1;
            if (costAt(mid + 1) > cost)
                return {false, low};
        } else {
            return {true, mid};
        }
    }
    return {false, low};
}

// ---- Re-evaluation and re-seeding ---------------------------------------------------------------

void TPoblacion::Revalua()
{
    const int size = GetSize();
    for (int i = 0; i < size; ++i) {
        m_genes[i]->Repara();
        m_genes[i]->EvaluateCost(1);
    }
    if (!m_engine || !m_engine->IsPaused())
        OrdenaBurbuja(size);
    if (m_engine)
        m_engine->SetImproved();
}

void TPoblacion::Randomiza(bool full, bool bad, bool good)
{
    constexpr const char* kMethod = "TPoblacion::Randomiza";
    const int size = GetSize();
    TPoblacion* betters = m_engine ? m_engine->GetBetters() : nullptr;
    if (m_engine)
        m_engine->RaiseReseedCounter();

    if ((full || good) && betters) {
        const float best = m_genes[0]->GetCoste();
        bool known = false;
        for (int i = 0; i < betters->GetSize(); ++i)
            known = known || betters->GetGen(i)->GetCoste() == best;
        if (!known) {
            TGen* kept = betters->NuevoGen(nullptr);
            kept->Copia(*m_genes[0]);
            betters->AnadeGen(kept);
            betters->Ordena();
        }
        for (int i = 0; i < betters->GetSize(); ++i)
            GEN_TRACE(3, kMethod, "Betters %d: %f", i,
                      static_cast<double>(betters->GetGen(i)->GetCoste()));
    }

    const bool total = full && (!betters || betters->GetSize() <= m_parameters.mostKeptGoodGenes);
    int start = m_parameters.reseedBest == 0 ? 1 : 0;
    if (total) {
        start = 0;
        if (m_engine)
            m_engine->ResetForTotalReseed();
    }
    for (int i = start; i < size; ++i)
        m_genes[i]->Azar();

    if (total) {
        GEN_TRACE(3, kMethod, "Del Todo");
        TGen* first = m_engine ? m_engine->GetFirstGene() : nullptr;
        if (m_parameters.randomFirstGene == 0 && first)
            m_genes[0]->Copia(*first);
    } else {
        if (bad)
            GEN_TRACE(3, kMethod, "IncluyeMalos");
        if (good) {
            GEN_TRACE(3, kMethod, "IncluyeBuenos");
            if (m_engine)
                m_engine->MarkLocalSearchEnd();
        }
        if ((bad || good) && betters) {
            const float best = m_genes[0]->GetCoste();
            int position = good ? 0 : 1;
            for (int i = 0; i < betters->GetSize() && position < size; ++i) {
                const TGen& better = *betters->GetGen(i);
                if (good || better.GetCoste() > best)
                    m_genes[position++]->Copia(better);
            }
        }
    }
    OrdenaBurbuja(size);
    TraceCosts();
}

void TPoblacion::TraceCosts() const
{
    std::string line;
    char number[64];
    for (int i = 0; i < std::min(GetSize(), 10); ++i) {
        std::snprintf(number, sizeof number, "%f ", static_cast<double>(m_genes[i]->GetCoste()));
        line += number;
    }
    WriteTraceLine("GenEngine.cpp", __LINE__, "TPoblacion::Randomiza", 3, false, line.c_str());
}

// ---- Genes
// ----------------------------------------------------------------------------------------

void TPoblacion::CreaGenes()
{
    // The slot after the population that the first design kept spare is not created: nothing
    // reads it.
    const int size = GetSize();
    m_genes.SetSize(0);
    for (int i = 0; i < size; ++i)
        m_genes.Add(NuevoGen(nullptr));
}

void TPoblacion::CopiaDe(const TPoblacion& other)
{
    const int count = std::min(GetGeneSlots(), other.GetGeneSlots());
    for (int i = 0; i < count; ++i)
        m_genes[i]->Copia(*other.m_genes[i]);
}

void TPoblacion::AnadeGen(TGen* gene)
{
    m_genes.Add(gene);
    m_parameters.populationSize = m_genes.GetSize();
}

void TPoblacion::AsignaEstructuras()
{
    const int threads = m_engine ? m_engine->GetThreadCount() : 0;
    for (int i = 0; i < GetGeneSlots(); ++i) {
        TGen& gene = *m_genes[i];
        if (threads > 0 && !gene.HasOwnWorkspace())
            gene.AssignWorkspace(m_engine->GetThreadWorkspace(i % threads));
        gene.Reinicia();
    }
}

bool TPoblacion::AnadeElemento(unsigned short item)
{
    bool added = true;
    for (int i = 0; i < GetGeneSlots() && added; ++i)
        added = m_genes[i]->AnadeElemento(item, true, true, true);
    UpdateGeneLength();
    return added;
}

bool TPoblacion::QuitaElemento(unsigned short item)
{
    bool removed = true;
    for (int i = 0; i < GetGeneSlots() && removed; ++i)
        removed = m_genes[i]->QuitaElemento(item, true);
    UpdateGeneLength();
    return removed;
}

void TPoblacion::AnadeElementos(int count, const unsigned short* items)
{
    for (int i = 0; i < GetGeneSlots(); ++i)
        m_genes[i]->AnadeElementos(count, items, true);
    UpdateGeneLength();
}

void TPoblacion::QuitaElementos(int count, const unsigned short* items)
{
    for (int i = 0; i < GetGeneSlots(); ++i)
        m_genes[i]->QuitaElementos(true, count, items);
    UpdateGeneLength();
}

bool TPoblacion::QuitaYRenumera(unsigned short item)
{
    bool found = false;
    for (int i = 0; i < GetGeneSlots(); ++i)
        found = m_genes[i]->QuitaYRenumera(item) || found;
    UpdateGeneLength();
    return found;
}

void TPoblacion::Renumera(int k)
{
    for (int i = 0; i < GetGeneSlots(); ++i)
        m_genes[i]->Renumera(k);
    UpdateGeneLength();
}

void TPoblacion::ExchangeGen(int index, TPoblacion& other, int otherIndex)
{
    std::swap(m_genes[index], other.m_genes[otherIndex]);
}

void TPoblacion::ExchangeGen(int index, int otherIndex)
{
    std::swap(m_genes[index], m_genes[otherIndex]);
}

void TPoblacion::UpdateGeneLength()
{
    if (GetGeneSlots() > 0)
        m_parameters.geneLength = m_genes[0]->GetLength();
}

// ---- Thread priority
// ------------------------------------------------------------------------------

void SetWorkerThreadPriority(int priority)
{
    if (priority >= 0)
        return;
    // Win32's below-normal, lowest and idle steps spread over the nice range 5 .. 19.
    const int nice = std::min(19, -5 * priority);
    const auto thread = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno != 0 || current >= nice)
        return;
    setpriority(PRIO_PROCESS, thread, nice); // a refusal leaves the thread as it is
}
