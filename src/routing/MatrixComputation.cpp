// The road matrix of a class: on the engine's thread, or split over worker processes.
#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "containers/BoolTable.h"
#include "params/ParameterFiles.h"
#include "platform/Dispatcher.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Progress.h"
#include "routing/MatrixWorker.h"
#include "routing/RoutingContext.h"
#include "routing/RoutingMapAndGuideClient.h"
#include "routing/StraightLineDistances.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kWorkerSection = "Enviroment options";
using Clock = std::chrono::steady_clock;

// Waits on the main thread, running what other threads posted to it.
void PumpAndSleep()
{
    if (trv::GetDispatcher().Pump() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// A routed cell as both paths store it: minutes corrected for starting and stopping; a cell
// without a route stays negative for the negative check.
void StoreRoutedCell(TDistanceCell& target, float km, int minutes)
{
    target.km = km;
    target.minutes = minutes;
    if (km > 0.0f && minutes > 0)
        ApplyStartStopCorrection(target);
}

} // namespace

void TMatrixWorkerSettings::Read()
{
    const std::string file = ConfigurationFile();
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    workers = std::max(1, trv::GetProfileInt(kWorkerSection, "NumProcsMatrix", processors, file));
    allowanceMilliseconds =
        1000 * std::max(1, trv::GetProfileInt(kWorkerSection, "TimePerMatrix", 5, file));
}

std::string CRoutingMapAndGuide::MatrixWorkerPath() const
{
    return m_MatrixWorkerPath.empty() ? trv::GetProgramFolder() + kMatrixWorkerProgram
                                      : m_MatrixWorkerPath;
}

TDistanceCell* CRoutingMapAndGuide::MatrixCell(int origin, int destination)
{
    const int row = m_MatrixRows[static_cast<std::size_t>(origin)];
    const int column = m_MatrixRows[static_cast<std::size_t>(destination)];
    if (row < 0 || column < 0)
        return nullptr;
    return &m_pMatrix->Cell(row, column);
}

bool CRoutingMapAndGuide::CalculateMatrix(int highestRow, const std::vector<int>& nodes,
                                          CDistancesArray& matrix, const trv::OleDate& date,
                                          int routeMode, int vehicleType)
{
    m_nProgressSlice = m_nProgressTotal = highestRow;
    m_nProgressOffset = 0;
    m_pMatrix = &matrix;
    m_pNodes = &nodes;
    matrix.Free();
    matrix.SetRoutingValues(routeMode, vehicleType);
    matrix.Allocate(highestRow + 1);
    if (nodes.empty())
        return false;
    const CClasificacionNodos& partition = RoutingContext().partition;
    m_MatrixRows.clear();
    for (const int node : nodes) {
        const TTranslationEntry entry = partition.FindEntry(node);
        m_MatrixRows.push_back(entry.Exists() && entry.row < matrix.GetNodeCount() ? entry.row
                                                                                   : -1);
    }
    matrix.SetDate(date);
    if (nodes.size() == 1) {
        if (TDistanceCell* own = MatrixCell(0, 0))
            *own = TDistanceCell{};
        return true;
    }
    if (!m_pRouting || !m_bInitialised) {
        if (!m_bNoRoadDataTraced)
            TRV_TRACE(1, "CRoutingMapAndGuide::CalculateMatrix",
                      "Sin datos de carreteras: distancias en linea recta");
        m_bNoRoadDataTraced = true;
        FillStraightLineMatrix(matrix, nodes);
        matrix.SetStraightLineFlag(1);
        return true;
    }
    m_bWorkersFailed = false;
    const bool result = CalculateDistancesAndWriteDst(nodes, matrix, date);
    if (m_bWorkersFailed) {
        // Workers that kept failing leave the class to the straight line.
        matrix.Free();
        matrix.Allocate(highestRow + 1);
        matrix.SetDate(date);
        FillStraightLineMatrix(matrix, nodes);
        matrix.SetStraightLineFlag(1);
        return false;
    }
    return result;
}

bool CRoutingMapAndGuide::CalculateDistancesAndWriteDst(const std::vector<int>& nodes,
                                                        CDistancesArray& matrix,
                                                        const trv::OleDate& date)
{
    m_bBusy = 1;
    matrix.SetDate(date);
    KillAndReleaseEverything(TIPO_RUTA, true);
    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(Translate("DistanceArray_No_Num_MS5"));
    progress.SetPosition(0, 100);
    m_bMatrixDone = 0;
    m_bCancelled = 0;
    PlaceNodes(nodes, RoutingContext().nodes);
    const std::string program = MatrixWorkerPath();
    std::error_code ignored;
    if (::access(program.c_str(), X_OK) == 0 &&
        std::filesystem::is_regular_file(program, ignored)) {
        TRV_TRACE(2, "CRoutingMapAndGuide::CalculateDistancesAndWriteDst", "Multicore");
        CalcMatrixMulticore(program);
    } else {
        TRV_TRACE(2, "CRoutingMapAndGuide::CalculateDistancesAndWriteDst", "MonoCore");
        CalcMatrixMonocore();
    }
    m_bBusy = 0;
    if (!m_bCancelled)
        ComprobarNegativos(nodes, m_pPendingNodes);
    HideProgress();
    return m_bCancelled == 0;
}

void CRoutingMapAndGuide::CalcMatrixMonocore()
{
    if (!SetRouteOptions(0)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcMatrixMonocore",
                  "La funcion SetRouteOptions ha devuelto FALSE");
        m_bCancelled = 1;
        return;
    }
    AdviseEvents();
    if (!m_pRouting->StartMatrix(m_Stations, m_Stations)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::CalcMatrixMonocore", "Error creando nueva ruta");
        m_bCancelled = 1;
        return;
    }
    m_nProgress = 0;
    bool cancelAsked = false;
    while (!m_bMatrixDone && !m_bCancelled) {
        // The engine answers a cancel with its error event, which ends the wait.
        if (!cancelAsked && trv::GetProgress().IsCancelled()) {
            cancelAsked = true;
            m_pRouting->CancelRouting();
        }
        PumpAndSleep();
    }
    m_Stations.clear();
}

void CRoutingMapAndGuide::OnMatrixResult(const std::vector<double>& metres,
                                         const std::vector<double>& units, int columns)
{
    FillMatrixFromArrays(metres, units, columns);
}

void CRoutingMapAndGuide::FillMatrixFromArrays(const std::vector<double>& metres,
                                               const std::vector<double>& units, int columns)
{
    if (m_pMatrix == nullptr || m_pNodes == nullptr)
        return;
    const int count = static_cast<int>(m_pNodes->size());
    const std::size_t needed = static_cast<std::size_t>(count) * static_cast<std::size_t>(count);
    if (columns != count || metres.size() < needed || units.size() < needed) {
        TRV_TRACE(1, "CRoutingMapAndGuide::FillMatrixFromArrays",
                  "La matriz calculada no corresponde a los nodos");
        m_bCancelled = 1;
        return;
    }
    for (int origin = 0; origin < count; ++origin) {
        for (int destination = 0; destination < count; ++destination) {
            TDistanceCell* cell = MatrixCell(origin, destination);
            if (cell == nullptr)
                continue;
            const std::size_t at = static_cast<std::size_t>(origin) * count + destination;
            if (metres[at] < 0.0) {
                *cell = {-1.0f, -1};
                continue;
            }
            const bool sameNode = (*m_pNodes)[static_cast<std::size_t>(origin)] ==
                                  (*m_pNodes)[static_cast<std::size_t>(destination)];
            StoreRoutedCell(*cell, sameNode ? 0.0f : static_cast<float>(metres[at] * 0.001),
                            UnitsToMinutes(units[at]));
        }
    }
    m_bMatrixDone = 1;
}

bool CRoutingMapAndGuide::ReadMatrixOutput(const std::string& path, int rows, int& offset)
{
    const int columns = static_cast<int>(m_pNodes->size());
    std::vector<TMatrixOutputCell> cells;
    std::string error;
    if (offset < 0 || offset + rows > columns ||
        !ReadMatrixOutputFile(path, rows, columns, cells, error)) {
        TRV_TRACE(1, "CRoutingMapAndGuide::ReadMatrixOutput", "%s", error.c_str());
        return false;
    }
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            TDistanceCell* cell = MatrixCell(offset + row, column);
            if (cell == nullptr)
                continue;
            const TMatrixOutputCell& read =
                cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(column)];
            StoreRoutedCell(*cell, read.km, static_cast<int>(read.minutes));
        }
    }
    offset += rows;
    return true;
}

void CRoutingMapAndGuide::ComprobarNegativos(const std::vector<int>& nodes,
                                             std::vector<TPendingNode>* pending)
{
    const int count = static_cast<int>(nodes.size());
    const auto countPending = [pending](int node) {
        if (pending == nullptr)
            return;
        const auto found =
            std::find_if(pending->begin(), pending->end(),
                         [node](const TPendingNode& entry) { return entry.node == node; });
        if (found != pending->end())
            ++found->count;
        else
            pending->push_back({node, 1});
    };
    for (int origin = 0; origin < count; ++origin) {
        for (int destination = 0; destination < count; ++destination) {
            TDistanceCell* cell = MatrixCell(origin, destination);
            if (cell == nullptr || (cell->minutes >= 0 && cell->km >= 0.0f))
                continue;
            const int a = nodes[static_cast<std::size_t>(origin)];
            const int b = nodes[static_cast<std::size_t>(destination)];
            *cell = TDistanceCell{};
            if (m_pRoutedPairs != nullptr && b < m_pRoutedPairs->GetColumns() &&
                a < m_pRoutedPairs->GetRows())
                m_pRoutedPairs->ClearBit(b, a);
            m_bNegativeCells = 1;
            countPending(a);
            if (b != a)
                countPending(b);
            TRV_TRACE(1, "CRoutingMapAndGuide::ComprobarNegativos",
                      "La distancia entre Los Nodos (%d,%d) esta mal, la dejamos para euclideas", a,
                      b);
        }
    }
}

void CRoutingMapAndGuide::CalcMatrixMulticore(const std::string& program)
{
    const std::string folder = GetTempFolder(1);
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string roadEditorDb = m_RoadEditorDb.IsOpen() ? m_RoadEditorDb.Path() : "";
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcMatrixMulticore", "Leyendo path RE: %s",
              roadEditorDb.c_str());
    const std::string speedFile = m_bPlanSpeedFile ? SpeedFile() : SpeedTableFilePath;
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcMatrixMulticore", "Leyendo path Velocidades: %s",
              speedFile.c_str());
    if (!m_bWorkerSettingsSet)
        m_WorkerSettings.Read();
    TRV_TRACE(2, "CRoutingMapAndGuide::CalcMatrixMulticore", "Procesadores Matrices=%d",
              m_WorkerSettings.workers);
    const std::vector<TMatrixBlock> blocks =
        SplitMatrixRows(static_cast<int>(m_Stations.size()), m_WorkerSettings.workers);
    EndWorkers(folder);
    std::vector<std::string> commandLines;
    {
        const std::lock_guard<std::mutex> lock(m_WorkersLock);
        for (std::size_t worker = 0; worker < blocks.size(); ++worker) {
            const int index = static_cast<int>(worker);
            if (!WriteMatrixInput(MatrixInputFile(folder, index), m_Stations, blocks[worker])) {
                TRV_TRACE(1, "CRoutingMapAndGuide::CalcMatrixMulticore", "No se puede escribir %s",
                          MatrixInputFile(folder, index).c_str());
                m_bWorkersFailed = true;
                break;
            }
            char arguments[64];
            std::snprintf(arguments, sizeof arguments, "%d %d ", static_cast<int>(::getpid()),
                          index);
            commandLines.push_back(arguments + ("\"" + roadEditorDb + "\" \"" + speedFile + "\" " +
                                                std::to_string(blocks[worker].first)));
            m_WorkerProcesses.push_back(StartProcess(false, program, commandLines.back()));
        }
    }
    if (m_bWorkersFailed) {
        EndWorkers(folder);
        m_bCancelled = 1;
        return;
    }
    m_bStopWatcher = false;
    m_nWorkerRestarts = 0;
    std::thread watcher([this, commandLines] { CalcMatrixWatcherThread(commandLines); });
    bool stopAsked = false;
    while (!m_bMatrixDone) {
        if (!stopAsked && trv::GetProgress().IsCancelled()) {
            stopAsked = true;
            m_bStopWatcher = true;
        }
        PumpAndSleep();
    }
    watcher.join();
    // Progress the watcher posted last.
    trv::GetDispatcher().Pump();
    if (stopAsked)
        m_bCancelled = 1;
    int offset = 0;
    for (std::size_t worker = 0; worker < blocks.size() && !m_bCancelled; ++worker) {
        if (!ReadMatrixOutput(MatrixOutputFile(folder, static_cast<int>(worker)),
                              blocks[worker].count, offset)) {
            m_bWorkersFailed = true;
            m_bCancelled = 1;
        }
    }
    EndWorkers(folder);
    m_Stations.clear();
}

void CRoutingMapAndGuide::EndWorkers(const std::string& folder)
{
    const std::lock_guard<std::mutex> lock(m_WorkersLock);
    for (const int process : m_WorkerProcesses) {
        if (process <= 0)
            continue;
        if (!trv::WaitForProcess(process, 0)) {
            trv::TerminateProcess(process);
            trv::WaitForProcess(process, 1000);
        }
    }
    m_WorkerProcesses.clear();
    for (const char* pattern : {"Mx_In_*", "Mx_Out_*", "Prog_*"})
        DeleteFiles(folder + pattern);
}

bool CRoutingMapAndGuide::MatrixWatchDone(const std::vector<int>& progress)
{
    if (progress.empty())
        return true;
    long long sum = 0;
    for (const int value : progress)
        sum += std::max(value, 0);
    return sum / static_cast<long long>(progress.size()) > 100;
}

void CRoutingMapAndGuide::CalcMatrixWatcherThread(std::vector<std::string> commandLines)
{
    const std::string folder = GetTempFolder(1);
    const std::string program = MatrixWorkerPath();
    const std::size_t count = commandLines.size();
    long long limit = m_WorkerSettings.allowanceMilliseconds;
    std::vector<int> progress(count, -1);
    std::vector<Clock::time_point> lastMove(count, Clock::now());
    std::vector<int> restarts(count, 0);
    bool failed = false;
    while (!m_bStopWatcher && !failed) {
        for (std::size_t worker = 0; worker < count && !failed; ++worker) {
            const int index = static_cast<int>(worker);
            const int value = ReadMatrixProgress(MatrixProgressFile(folder, index));
            if (value != progress[worker]) {
                progress[worker] = value;
                lastMove[worker] = Clock::now();
            }
            if (value > 100)
                continue;
            int& process = m_WorkerProcesses[worker];
            // A worker that ended without its output, or whose progress stopped moving.
            const bool ended = trv::WaitForProcess(process, 0);
            if (ended)
                process = 0; // reaped: its id may belong to another process from now on
            const bool stalled = Clock::now() - lastMove[worker] >
                                 std::chrono::milliseconds(static_cast<long long>(count) * limit);
            if (!ended && !stalled)
                continue;
            if (restarts[worker] >= m_WorkerSettings.maximumRestarts) {
                TRV_TRACE(1, "CalcMatrixWatcherThread", "El proceso %d no termina la matriz",
                          index);
                failed = true;
                break;
            }
            TRV_TRACE(1, "CalcMatrixWatcherThread", "Reiniciando el proceso %d", index);
            const std::lock_guard<std::mutex> lock(m_WorkersLock);
            if (process > 0) {
                trv::TerminateProcess(process);
                trv::WaitForProcess(process, 1000);
            }
            std::remove(MatrixProgressFile(folder, index).c_str());
            std::remove(MatrixOutputFile(folder, index).c_str());
            process = StartProcess(false, program, commandLines[worker]);
            ++restarts[worker];
            ++m_nWorkerRestarts;
            progress[worker] = -1;
            lastMove[worker] = Clock::now();
            limit += m_WorkerSettings.restartStepMilliseconds;
        }
        if (failed)
            break;
        long long sum = 0;
        for (const int value : progress)
            sum += std::max(value, 0);
        const long long average = count == 0 ? 101 : sum / static_cast<long long>(count);
        trv::GetDispatcher().Post(
            [average] { trv::GetProgress().SetPosition(std::min(average, 100LL), 100); });
        if (MatrixWatchDone(progress))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (failed)
        m_bWorkersFailed = true;
    if (failed || m_bStopWatcher) {
        m_bCancelled = 1;
        EndWorkers(folder);
    }
    m_bMatrixDone = 1;
}
