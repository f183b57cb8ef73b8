#pragma once

class CTrevantorVariables;
class CTrevantorVariablesKeys;

// The model's builders of the catalogue's key sets: each registers one entity's variables, in
// registration order, through the key set's adders. The catalogue has set the key set's
// entity kind and owner before a builder runs.
void InitOrderVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitOrderLineVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitCustomerVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitTruckVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitTrailerVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitDriverVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitResourceVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitLorryTotalsVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitTripTotalsVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitStopPointVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitLocationVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitLocationEntryVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);
void InitWarehouseVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys);

// Puts the thirteen builders into the catalogue's slots; run before its Init.
void InstallVariableBuilders(CTrevantorVariables& catalogue);
