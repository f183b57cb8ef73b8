#include "KLV/Gen.h"

#include "KLV/MapGenToCola.h"
#include "KLV/Poblacion.h"
#include "KLV/Trace.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <istream>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#define GEN_TRACE(level, method, ...)                                                              \
    WriteTrace("GenEngine.cpp", __LINE__, (method), (level), false, __VA_ARGS__)

// Saved solutions and their readers recognise an unevaluated gene by these bits.
static_assert(std::bit_cast<std::uint32_t>(TGen::kNotEvaluated) == 0x6258D727u);

namespace {

// A sequence holds at most every 16-bit value once.
constexpr std::int64_t kMaxItems = 65536;

// Every item below bound and none twice; marks is scratch of at least bound bytes.
bool IsPermutationBelow(const unsigned short* items, int count, int bound,
                        std::vector<unsigned char>& marks)
{
    marks.assign(static_cast<std::size_t>(std::max(bound, 0)), 0);
    for (int i = 0; i < count; ++i) {
        const int item = items[i];
        if (item >= bound || marks[item])
            return false;
        marks[item] = 1;
    }
    return true;
}

} // namespace

TGen::TGen(IGenEngine* engine, int length, std::shared_ptr<TEstructurasOptimizacion> workspace)
    : m_engine(engine)
{
    assert(length >= 0);
    if (workspace) {
        m_workspace = std::move(workspace);
    } else if (engine && engine->GetThreadCount() > 0) {
        m_workspace = engine->GetThreadWorkspace(0);
        m_ownWorkspace = 0;
    }
    m_workspaceInUse = m_workspace.get();
    m_items.SetSize(length);
    m_scratchItems.SetSize(length);
    m_usedFlags.SetSize(GetItemBound());
}

std::shared_ptr<TEstructurasOptimizacion> TGen::NuevaEstructura()
{
    return std::make_shared<TEstructurasOptimizacion>();
}

bool TGen::Iguales(const TGen& other) const
{
    return GetCoste() == other.GetCoste() && GetLength() == other.GetLength() &&
           std::equal(m_items.begin(), m_items.end(), other.m_items.begin());
}

void TGen::Mueve(TGen& other)
{
    SetCoste(other.GetCoste());
    m_weight = other.m_weight;
    m_items = std::move(other.m_items);
    other.m_items.SetSize(0);
    m_scratchItems.SetSize(GetLength());
}

void TGen::Copia(const TGen& other)
{
    SetCoste(other.GetCoste());
    m_weight = other.m_weight;
    SetItems(other.GetItems(), other.GetLength());
}

void TGen::SetItems(const unsigned short* items, int count)
{
    m_items.SetSize(count);
    m_scratchItems.SetSize(count);
    std::copy_n(items, count, m_items.begin());
}

void TGen::Azar()
{
    // The scratch items serve as the draw's urn, so a random gene allocates nothing.
    const int length = GetLength();
    unsigned short* urn = GetScratchItems();
    for (int i = 0; i < length; ++i)
        urn[i] = static_cast<unsigned short>(i);
    unsigned short* items = GetItems();
    for (int a = 0; a < length; ++a) {
        const std::int64_t draw = Rand();
        const int index = static_cast<int>(draw * (length - a) / 32768);
        items[a] = urn[index];
        urn[index] = urn[length - a - 1];
    }
    EvaluaConCache();
}

void TGen::FabricaGenMejor()
{
    TPoblacion* population = m_engine ? m_engine->GetCurrentPopulation() : nullptr;
    if (population && population->Parametros().randomFirstGene != 0)
        Azar();
    else
        CheapestInsertion();
}

void TGen::FabricaPrimerGen()
{
    const unsigned short* first = m_engine ? m_engine->GetFirstSequence() : nullptr;
    if (!first) {
        FabricaGenMejor();
        return;
    }
    std::copy_n(first, GetLength(), GetItems());
    GEN_TRACE(2, "TGen::FabricaPrimerGen", "FabricaPrimerGen: Gen cargado");
    m_engine->EsperaPaso();
    Repara();
    EvaluateCost(1);
    GEN_TRACE(2, "TGen::FabricaPrimerGen", "FabricaPrimerGen: Después del Repara");
    m_engine->EsperaPaso();
}

bool TGen::CompruebaGen()
{
    return EsValido();
}

bool TGen::Lee(std::istream& in)
{
    unsigned char header[4];
    if (!in.read(reinterpret_cast<char*>(header), 4))
        return false;
    const std::int64_t count = static_cast<std::int32_t>(
        header[0] | (header[1] << 8) | (header[2] << 16) | (std::uint32_t(header[3]) << 24));
    if (count < 0 || count > kMaxItems)
        return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count) * 2);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return false;
    std::vector<unsigned short> items(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = static_cast<unsigned short>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    // An item outside the engine's values would index past the problem's tables.
    const int bound = m_engine ? m_engine->GetItemBound() : static_cast<int>(count);
    std::vector<unsigned char> marks;
    if (!IsPermutationBelow(items.data(), static_cast<int>(count), bound, marks))
        return false;
    SetItems(items.data(), static_cast<int>(count));
    Reshape(true);
    Repara();
    EvaluateCost(1);
    return true;
}

bool TGen::Guarda(std::ostream& out) const
{
    const auto count = static_cast<std::uint32_t>(GetLength());
    std::vector<unsigned char> bytes(4 + 2 * static_cast<std::size_t>(count));
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(count >> (8 * i));
    for (std::uint32_t i = 0; i < count; ++i) {
        bytes[4 + 2 * i] = static_cast<unsigned char>(m_items[i] & 0xFF);
        bytes[5 + 2 * i] = static_cast<unsigned char>(m_items[i] >> 8);
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool TGen::EsValido() const
{
    std::vector<unsigned char> marks;
    return IsPermutationBelow(GetItems(), GetLength(), GetItemBound(), marks);
}

// ---- Item operations ----------------------------------------------------------------------

bool TGen::AnadeElemento(unsigned short item, bool atEnd, bool reallocate, bool checkRepeat)
{
    if (checkRepeat && Contiene(item))
        return false;
    if (atEnd)
        m_items.Add(item);
    else
        m_items.InsertAt(0, item);
    if (reallocate && m_engine)
        m_engine->RaiseItemBound(item + 1);
    Reshape(reallocate);
    return true;
}

void TGen::AnadeElementos(int count, const unsigned short* items, bool atEnd)
{
    if (count <= 0)
        return;
    const int oldLength = GetLength();
    m_items.SetSize(oldLength + count);
    unsigned short* data = m_items.begin();
    if (!atEnd)
        std::copy_backward(data, data + oldLength, data + oldLength + count);
    std::copy_n(items, count, atEnd ? data + oldLength : data);
    if (m_engine)
        m_engine->RaiseItemBound(*std::max_element(items, items + count) + 1);
    Reshape(true);
}

bool TGen::QuitaElemento(unsigned short item, bool reallocate)
{
    const int position = Posicion(item);
    if (position == GetLength())
        return false;
    m_items.RemoveAt(position);
    Reshape(reallocate);
    return true;
}

void TGen::QuitaElementos(bool reallocate, int count, const unsigned short* items)
{
    if (count <= 0)
        return;
    unsigned short* data = m_items.begin();
    unsigned short* kept = std::remove_if(data, data + GetLength(), [&](unsigned short value) {
        return std::find(items, items + count, value) != items + count;
    });
    m_items.SetSize(static_cast<int>(kept - data));
    Reshape(reallocate);
}

bool TGen::QuitaYRenumera(unsigned short item)
{
    const bool found = QuitaElemento(item, true);
    for (unsigned short& value : m_items)
        if (value > item)
            --value;
    return found;
}

void TGen::Renumera(int k)
{
    const int newest = GetItemBound() - 1;
    for (unsigned short& value : m_items) {
        if (value == newest)
            value = static_cast<unsigned short>(k);
        else if (value >= k)
            ++value;
    }
}

bool TGen::Contiene(unsigned short item) const
{
    return Posicion(item) != GetLength();
}

int TGen::Posicion(unsigned short item) const
{
    return static_cast<int>(std::find(m_items.begin(), m_items.end(), item) - m_items.begin());
}

void TGen::Intercambia(int i, int j)
{
    assert(i >= 0 && i < GetLength() && j >= 0 && j < GetLength());
    std::swap(m_items[i], m_items[j]);
    Repara();
    EvaluateCost(1);
}

void TGen::Inserta(int from, int to)
{
    assert(from >= 0 && from < GetLength() && to >= 0 && to < GetLength());
    unsigned short* data = GetItems();
    if (from < to)
        std::rotate(data + from, data + from + 1, data + to + 1);
    else if (to < from)
        std::rotate(data + to, data + from, data + from + 1);
    Repara();
    EvaluateCost(1);
}

void TGen::MueveSegmento(int first, int last, int to, bool reversed)
{
    const int length = GetLength();
    const int blockLength = last - first + 1;
    assert(first >= 0 && first <= last && last < length && to >= 0 && to + blockLength <= length);
    // The sequence without the block, with the block put back at to, built in the scratch.
    const unsigned short* data = GetItems();
    unsigned short* scratch = GetScratchItems();
    int write = 0;
    for (int read = 0; read < length; ++read) {
        if (write == to) {
            for (int k = 0; k < blockLength; ++k)
                scratch[write++] = data[reversed ? last - k : first + k];
        }
        if (read < first || read > last)
            scratch[write++] = data[read];
    }
    if (write == to) {
        for (int k = 0; k < blockLength; ++k)
            scratch[write++] = data[reversed ? last - k : first + k];
    }
    std::swap(m_items, m_scratchItems);
    Repara();
    EvaluateCost(1);
}

void TGen::GuardaTxtTrace() const
{
    char number[32];
    std::snprintf(number, sizeof number, "Value=[%.02f] ", static_cast<double>(GetCoste()));
    std::string text = number;
    for (unsigned short item : m_items) {
        std::snprintf(number, sizeof number, "[%hu]", item);
        text += number;
    }
    WriteTraceLine("GenEngine.cpp", __LINE__, "TGen::GuardaTxtTrace", 3, false, text.c_str());
}

// ---- Evaluation -----------------------------------------------------------------------------

void TGen::EvaluaConCache()
{
    Repara();
    CMapGenToCola* cache = m_engine ? &m_engine->GetCache() : nullptr;
    // A key of another length would compare bytes the cached keys do not have.
    if (!cache || cache->GetKeyLength() != GetLength()) {
        EvaluateCost(1);
        return;
    }
    float cost = 0.0f;
    unsigned hash = 0;
    {
        std::lock_guard region(cache->GetGeneRegion());
        if (cache->Busca(cost, hash, GetItems())) {
            SetCoste(cost);
            return;
        }
    }
    cost = EvaluateCost(1);
    if (cost == kNotEvaluated)
        return;
    std::lock_guard region(cache->GetGeneRegion());
    float cached = 0.0f;
    if (!cache->Busca(cached, hash, GetItems(), true))
        cache->Inserta(GetItems(), cost, hash, true);
}

float TGen::EvaluateCost(int mode)
{
    float cost = 0.0f;
    {
        // Left even when the evaluation throws, or a data change would wait for it forever.
        struct TInFlight
        {
            IGenEngine* engine;
            explicit TInFlight(IGenEngine* e) : engine(e)
            {
                if (engine)
                    engine->EnterEvaluation();
            }
            ~TInFlight()
            {
                if (engine)
                    engine->LeaveEvaluation();
            }
        } inFlight(m_engine);
        cost = Evaluate(mode);
    }
    if (!std::isnan(cost))
        return cost;
    TraceNaN(mode);
    assert(!"the problem's evaluation gave a NaN cost");
    SetCoste(kNotEvaluated);
    return kNotEvaluated;
}

void TGen::TraceNaN(int mode)
{
    GEN_TRACE(1, "TGen::EvaluateCost",
              "Evaluate(%d) gave a NaN cost for %d items; kept as not evaluated", mode,
              GetLength());
}

// ---- Workspaces, random draws, item bound -------------------------------------------------

void TGen::SetWorkspaceInUse(TEstructurasOptimizacion* workspace)
{
    m_workspaceInUse = workspace ? workspace : m_workspace.get();
}

void TGen::AssignWorkspace(std::shared_ptr<TEstructurasOptimizacion> workspace)
{
    m_workspace = std::move(workspace);
    m_workspaceInUse = m_workspace.get();
}

int TGen::Rand()
{
    if (m_randomStream)
        return m_randomStream->Next();
    if (m_engine)
        return m_engine->GetRandom().Next();
    // A gene outside any engine (a tool or a test) draws from its thread's own stream.
    thread_local TGenRandom threadStream;
    return threadStream.Next();
}

int TGen::GetItemBound() const
{
    return m_engine ? m_engine->GetItemBound() : GetLength();
}

void TGen::Reshape(bool reallocate)
{
    m_scratchItems.SetSize(GetLength());
    if (!reallocate)
        return;
    m_items.FreeExtra();
    m_scratchItems.FreeExtra();
    m_usedFlags.SetSize(GetItemBound());
    if (TPoblacion* population = m_engine ? m_engine->GetCurrentPopulation() : nullptr)
        population->SetGeneLength(GetLength());
}
