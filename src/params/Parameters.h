#pragma once

#include "KLV/Utils.h"
#include "containers/SmartArray.h"
#include "params/PenaltyTable.h"

#include <string>

// The planning parameters: one program-wide object read from the company's parameters file
// (through the maker's override file and the allowed-keys file), the penalty tables and the
// parameter profile. Every part of the system reads its members directly.
//
// A member that mirrors a key bears the key's name. The values below are the constructor's;
// the value taken when a key is absent from the file stands in the key tables of
// ParameterKeys.cpp.

class CUserParameters
{
  public:
    CUserParameters() = default;
    CUserParameters(const CUserParameters&) = delete;
    CUserParameters& operator=(const CUserParameters&) = delete;

    // Reads the penalty tables, then every block of the file (empty: ParamsFilePath). False,
    // with a message to the user, when the standard penalty file cannot be read; no parameter
    // is read then.
    bool Load(const std::string& file = {});

    // Writes every block to the file (empty: ParamsFilePath). The times are the run's seconds
    // (-1: none) and the values its costs; with both times set, section "Info" is written too.
    // False (and traced) when any key could not be written.
    bool Save(const std::string& file = {}, int incumbentSeconds = -1, int solutionSeconds = -1,
              float incumbentValue = 0.0f, float bestValue = 0.0f);

    // Block readers and writers; an empty file means ParamsFilePath. Writers return false when
    // a key could not be written.
    void LoadMultipliers(const std::string& file = {});
    void LoadServiceTimes(const std::string& file = {});
    bool SaveServiceTimes(const std::string& file = {});
    void LoadWorkingTime(const std::string& file = {});
    bool SaveWorkingTime(const std::string& file = {});
    void LoadDrivingRest(const std::string& file = {});
    bool SaveDrivingRest(const std::string& file = {});
    void LoadSchedulingDate(const std::string& file = {});
    bool SaveSchedulingDate(const std::string& file = {});
    void LoadCostFactors(const std::string& file = {});
    bool SaveCostFactors(const std::string& file = {});
    void LoadMainParameters(const std::string& file = {});
    bool SaveMainParameters(const std::string& file = {});
    void LoadRoutingParams(const std::string& file = {});
    bool SaveRoutingParams(const std::string& file = {});
    void LoadDisplayOptions(const std::string& file = {});
    bool SaveDisplayOptions(const std::string& file = {});
    void LoadVersions(const std::string& file = {});
    void LoadInfo(const std::string& file = {});
    bool SetVersionParams(const std::string& file = {});
    void ResetMultipliers();

    // The three-file rule: a key the planner may not change comes from the maker's override
    // file when that file holds it, else from `file`.
    static bool IsAllowedParam(const std::string& key);
    static std::string ReadParamString(const std::string& section, const std::string& key,
                                       const std::string& file, const std::string& defaultValue);
    static float ReadParamFloat(const std::string& section, const std::string& key,
                                const std::string& file, float defaultValue);
    static int ReadParamInt(const std::string& section, const std::string& key,
                            const std::string& file, int defaultValue);

    // "Formats" / "DecimalPrecision" (absent 2); not part of Load.
    static int GetDecimalPrecision(const std::string& file = {});

    // Profiles.
    void LoadProfileName(const std::string& file = {});
    void LoadProfile(const std::string& name);
    bool SetProfile(const std::string& name);
    bool SaveProfileName(const std::string& file = {});
    bool SetLanguage(const std::string& languageId);
    std::string GetOrderIcon(const std::string& profileFile) const;
    std::string GetWarehouseIcon(const std::string& profileFile) const;
    std::string GetResourceIcon(const std::string& profileFile) const;
    std::string GetProductsIcon(const std::string& profileFile) const;
    std::string GetGPSProviderIcon(const std::string& profileFile) const;

    // Whether the company's data definitions exist (probed by Load).
    int HasCustomerOrders() const { return HasCustomerOrdersDefinition; }
    int HasCustomerResources() const { return HasCustomerResourcesDefinition; }
    int HasSchedulingResult() const { return HasSchedulingResultDefinition; }

    // ---- Members, in declaration order -------------------------------------------------
    int CastigoProductosUltimoViaje = 30;
    int TipoPenalizacionPorcentajeEficiencia = 0;
    int FactorPorcentajeEficiencia = 0;
    int FactorPorcentajeEficienciaPrimero = 0;
    int MinimoPorcentajeEficiencia = 0;
    int HoraPrimeraHora = 1000000;
    int KmViajeLargo = -1;
    float PenalizacionNoCombinables = 1.0f;
    std::string UrlTomTomWork;
    std::string CuentaTomTomWork;
    std::string UserTomTomWork;
    std::string PassTomTomWork;
    std::string APIKEYTomTomWork;
    int MostrarTodosSimbolosCarreteras = 1;
    float DistanciaMaximaTenerEnCuentaZonaCondicionantes = 100000.0f;
    TPenaltyTable PenaltyTable;
    int LoadTime = 30;
    int UnloadTime = 20;
    int MaxDrivingTime = 480;
    int WTFrom = 540;
    int WTTo = 1020;
    int MaxWorkingTime = 480;
    int AvailableDays = 7;
    int StartTimeToday = 0;
    int KmFactor = 1;
    float KmFactorCorrection = 1.0f;
    int CostFactor = 1;
    float CostFactorCorrection = 1.0f;
    float WorkingFactorCorrection = 1.0f;
    int PntLate = 1;
    int WorkingFactor = 0;
    int PntDrive = 1;
    int PntWork = 1;
    int PntASAP = 1;
    int EqualizeHours = 0;
    int DivisorMultidayTime = 1;
    int LongTripFactor = 0;
    int FarCustomerFactor = 0;
    int FarCustomerMargen = 0;
    int SameNodeFactor = 0;
    int SameLocationFactor = 0;
    int AmbiguousAsValid = 1;
    int SameLocationFullFactor = 0;
    int SameCPFactor = 0;
    int RompeCompletoFactor = 0;
    float DistanciaAceleracion = 0.0f;
    int SameSpecialCodeFactor = 0;
    float CostForResourceUsed = 0.0f;
    float CostForChangeVehicle = 0.0f;
    int TimeForChangeVehicle = 0;
    int TimeForChangeDriver = 0;
    int TiempoMaximoAnticiparSalidaEnCollections = 0;
    float FactorPrimerDesplazamiento = 0.0f;
    int MinPorcentajeLlenado = 0;
    int MinPorcentajeLlenadoPrimerViaje = 0;
    int MargenLibreLlenado = 0;
    int MaxDrivingNoStops = 270;
    int MinutesToRest = 45;
    int MinMinutesToBeRest = 15;
    int RestAtCustomer = 1;
    int RestAtWarehouse = 1;
    int PuedeRetrasarSalida = 1;
    int RelacionadosNoCoincidentesEnCliente = 0;
    int HayEscobas = 0;
    float FactorLentitudTransportePublico = 2.0f;
    int MinimumSleep = 540;
    int HorasDescansoSemanal = 0; // minutes; the file holds hours
    int DiasDescansoIntraSemanal = 0;
    int MargenTiempoMultidia = 0;
    int ContinueWorkingNextDay = 0;
    int FixTimeStartStop = 0;
    int FixTimeStartStopDistance0 = 0;
    int MinimoTiempoTrayecto = 0;
    int AutomaticLoad = 0;
    int FlatEditing = 0;
    int PaintOnlyCustomers = 0;
    int PaintDeactivatedOrdersInfo = 1;
    int OneLinePerTrip = 0;
    int OnlyOneLocationType = 0;
    int CountryIDC = 34;
    int CoordTestCountry = 0;
    int OutputFileToImport = 0;
    int ShowWholeDirection = 0;
    float WeightMultiplier = 1.0f;
    float CapacityMultiplier = 1.0f;
    float LongDistanceMultiplier = 1.0f;
    float LenghtMultiplier = 1.0f;
    float WeightOffset = 0.0f;
    float CapacityOffset = 0.0f;
    float LongDistanceOffset = 0.0f;
    float LenghtOffset = 0.0f;
    int SchedulingTime = 0;
    int OutOfDate = 1;
    int SiempreAñadirRecursos = 1;
    int IgnorarRecursosYaCargadosAlAgregar = 0;
    int SiempreAñadirRecursosBorrando = 1;
    int CompruebaEstadoServiciosWebfleet = 0;
    int TiempoCompruebaEstadoServiciosWebfleet = -1;
    float PorcentajeMargenDiasFrecuencia = 30.0f;
    int EnableDragDrop = 1;
    int CheapestTime = 300;
    int CalidadImpresion = 12000;
    int GrosorLinea = 2;
    int HideDeactivated = 0;
    int HideNotWorking = 0;
    int HideRepeatedDrivers = 0;
    int HideAuxStopPoints = 0;
    int PrimerViajePrecargado = 0;
    int NoContarKmBaseFactoria = 0;
    int PartirPedidosAutomaticamente = 0;
    int PrioridadTrevantorSobreLocations = 0;
    int Fares = 0;
    int PartirMatricesDistancias = 0;
    int SiempreAñadirPedidos = 1;
    int UsarProductCodeAlAgregar = 0;
    int IgnorarPedidosYaCargadosAlAgregar = 0;
    int MantenerAsignaciones = 1;
    int MantenerFechasFrecuenciasYOrdenEnMultidia = 1;
    int SimpleFilter = 1;
    int AskAlwaysFilterForResources = 0;
    int SiempreAñadirPedidosBorrando = 1;
    float CostForCleaning = 0.0f;
    int TimeForCleaning = 0;
    int OnlyOneProductOverload = 0;
    float CostForOverload = 0.0f;
    float DistanceToFly = -1.0f;
    int TimeForDistanceToFly = -1;
    float TwoMuchNigthsOutPenalty = 0.0f;
    int UsarCosteForResourceUsedComoMinimo = 0;
    int VisualizarTrackVehiculos = 0;
    int PrimerCalculoSinEuclideas = 0;
    int Euclideas = -1;
    int EuclideanInEffect = -1; // straight-line distances in force: "Euclideas" or "Config.ini"
    int MercanciasPeligrosas = 0;
    int CortesEnLaBase = 0;
    int SegundaOptimizacion = 0;
    int ImpresionMapaBN = 1;
    std::string PathDatos;
    std::string Profile;  // the profile's name, upper-cased
    int NotSalesman = -1; // 0 when the profile is "SALESMAN"
    int LoadingProblem = 0;
    int DeliveryProblem = 0;
    int TiempoMaximoReparto = -1;
    int PointToPoint = 0;
    int Teletransporting = 0;
    int QuantitiesControl = 0;
    int Tanks = 0;
    int TimesInOrderLines = 0;
    int UsingMultiplicativeFactors = 0;
    int CustomerInOrderLines = 0;
    int SortingOrderLines = 0;
    int ResourcesReturnToBase = 1;
    int AplicarordenPorDia = 0;
    int IncompatibilidadesPorDia = 0;
    int ApuraHorarioFactoriaHastaElFinal = 0;
    int FastestCheapest = 0;
    int MismoPedidoMismaHora = 0;
    int EqualTanksPerCent = 0;
    int EqualizeAcumulatedHours = 0;
    int EqualizeAcumulatedCost = 0;
    int EqualizeKm = 0;
    int RouteModeForRouting = 0;
    int VehTypeForRouting = 1;
    int DistanciaRodeoFactor = 100000;
    int TiempoRodeoFactor = 100000;
    int RodeoDistanciaMinima = 1000000;
    int RodeoTiempoMinimo = 1000000;
    int PatrasFactor = 100000;
    int FactorRetorno = 100000;
    int FactorPenalizaTiempoExtraEnCliente = 0;
    float PenaKmPatras = 1.0f;
    float PenaKmRodeo = 1.0f;
    int MaxTimeToWait = 10000;
    int NoEsperarNunca = 0;
    int LoadBonusFactor = 0;
    int TransportCard = 0;
    int CastigoMaxViajes = 10000;
    int AllowToNoServeNonTodayOrders = 0;
    int TimeWindowsIsArrivalAndLeave = 0;
    int ConsiderFullTruckToLoadingTime = 0;
    int ControlStocks = 0;
    int AskForDate = 1;
    int SendPCToLocator = 1;
    float MaxDstBetweenCustomers = 10000.0f;
    float PorcentajeDistanceBetweenCustomers = 0.0f;
    std::string Toolbar;
    std::string OrderIcon;
    std::string ResourceIcon;
    std::string ProductsIcon;
    std::string GPSProviderIcon;
    int VehicleType = 0;
    std::string WarehouseIcon;
    int ClosePointsFactor = 0;
    int ExtraPenaltiesFactor = 0;
    float ExtraPenaJuntarEspaciados = 0.0f;
    int CastigoSaltarseReglas = 1000000;
    int ControlDiasApertura = 0;
    int IgualarCostesConductorSoloServicios = 0;
    int TotalNumberOfCustomersBonusFactor = 0;
    float PremioPorMismoVehiculoFactor = 0.0f;
    float PremioPresupuesto = 0.0f;
    float FactorLlenado = 0.0f;
    float MaxDstNoDrive = 0.0f;
    float WalkSpeed = 0.0f;
    int UseHabilityForLoadAndUnload = 0;
    float MaxPercentajeToChangePreasignedDriver = 1.0f;
    int PorcentajeConduccionDisposicion = 100;
    int MaximoServiciosVirtual = 1000000;
    int TimeToChangeCity = 0;
    float PenaltyToChangeCity = 0.0f;
    int MinPriorityToNotify = 10000;
    int UpdateLocationOnlyIfSameAddress = 0;
    int ResourcesAutomaticLoadFromSolution = 0;
    int RespectPreFixedResource = 1;
    int RespectPreFixedServiceDate = 1;
    int PermitirTurnos = 0;
    float DiferentProductsInTruckFactor = 0.0f;
    int NightGapStart = kUnsetTime;
    int NightGapEnd = kUnsetTime;
    int BreakfastGapStart = kUnsetTime;
    int BreakfastGapEnd = kUnsetTime;
    int LunchGapStart = kUnsetTime;
    int LunchGapEnd = kUnsetTime;
    int DinnerGapStart = kUnsetTime;
    int DinnerGapEnd = kUnsetTime;
    int MaxWorkingTimeNoLunchCost = -1; // -1: no limit
    float OrderMaxCapacity = -1.0f;     // -1: none
    float OrderMaxVolume = -1.0f;
    float ProductMaxQuantity = -1.0f;
    int MaxFirstTimeToApplyRest = 0;
    int MinTimeToConsiderRest = 0;
    int MaxTimeToConsiderRest = 0;
    int MinTimeCorte = 0;
    int MaxTimeCorte = 10000;
    int CastigoHoraCorte = 0;
    int ContarDescansosComoTrabajo = 0;
    int DayOff = 0;
    int DayOffShow = 0;
    int PermitirVehiculosSinConductor = 0;
    int UnPedidoUnCliente = 0;
    int PastServiceDates = 1;
    int VariableTimeOnlyOneLine = 0;
    int GenerateXML = 0;
    int CalcularNumerosDeAgrupacion = 0;
    int SalirSiempreCargado = 0;
    int ContarKmEnVacioDeVirtual = 0;
    int ContarRetrasosEnElVirtual = 0;
    int ShowDuplicatedLocations = 1;
    int EvitarDescargasUltimoViaje = 0;
    int DesactivaVirtualesAlPrincipio = 0;
    int DesactivarAsignacionesErroneas = 1;
    int SegundosVirtualesDesactivados = 180;
    float FactorDistanciasEuclideas = 1.0f;
    float TiempoNodoMatriz = 1.0f;
    int ControlDocks = 0;
    int CargaRealAlAñadirPedidos = 0;
    int TomTomFiles = 0;
    int LateTimeAtCustomerExit = 0;
    int NuncaDuplicarLineas = 0;
    int MostrarInformacionAñadidos = 0;
    int ComenzarPlanificacionConHoraReal = 0;
    int CostPerQuantity = 0;
    int TimeRatio = 0;
    float PonderaCostePorTonelada = 0.0f;
    int ScheduleDayRealTime = -1;
    int PullOrdersTime = -1;
    int PullResources = 0;
    int MaxNoChangesTime = -1;
    int MinutosRefrescoWeb = 0;
    int GrabarWebBDD = 0;
    float PercentMaximoReducir = 0.0f;
    int RedondeoReducir = 1;
    int SaltarBloqueosCarreterasDefecto = 0;
    int Particiones = 0;
    std::string ExeVersion;
    std::string MapsVersion;
    std::string DllMapsVersion;
    std::string TiempoIncumbente;
    std::string TiempoSolucion;
    std::string ValorIncumbente;
    std::string ValorMejorGen;
    int LockOrdersToResourcesOnReportGenerate = 0;
    int MostrarAgrupacionesViajes = 0;
    int DocksDisponiblesPorHora = 4;
    int StopAndClose = 1;
    int PintaDesdeHastaBase = 1;
    int TiempoMaximoAvisoEmailTiempoReal = 15;
    int TiempoRealConfirmacionesAleatorias = 0;
    CSmartStringArray Ratios; // "key=value" lines of the profile's "Ratios" section
    int HasCustomerOrdersDefinition = 0;
    int HasCustomerResourcesDefinition = 0;
    int HasSchedulingResultDefinition = 0;

  private:
    std::string FindProfileFile(const std::string& name) const;
    void ApplyProfileCaptions(const std::string& profileFile) const;
};

// The one program-wide parameters object.
CUserParameters& UserParameters();

// Replaces it by a newly constructed one (tests start clean).
void ResetUserParameters();
