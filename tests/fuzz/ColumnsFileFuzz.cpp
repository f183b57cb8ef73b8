// The dialogs' column layouts: a fuzzed "Customizable dialogs" section read at start-up over the
// model's key sets, every dialog loaded, its options built and its layout written back.

#include "FuzzSupport.h"
#include "model/VariableBuilders.h"
#include "params/ParameterFiles.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ColumnsFilePath = trv::fuzz::WriteFile(
        "Columns.ini", "[Customizable dialogs]\n" + std::string(trv::fuzz::AsText(data, size)));
    trv::ClearProfileCache();
    ResetTrevantorVariables();
    CTrevantorVariables& catalogue = TrevantorVariables();
    InstallVariableBuilders(catalogue);
    catalogue.Init();
    for (int dialog = 0; dialog < kDialogCount; ++dialog) {
        // Whatever was saved, the start-up rewrite leaves a layout the next start can use.
        CSmartStringArray names;
        CSmartIntArray flags;
        CSmartStringArray widths;
        catalogue.ReadDialogLayout(dialog, names, flags, widths, false, false);
        TRV_FUZZ_CHECK(names.GetSize() == flags.GetSize());
        TRV_FUZZ_CHECK(names.GetSize() == widths.GetSize());

        int count = -1;
        catalogue.LoadDialogColumns(dialog, count, false);
        const TTrevantorVariablesShowed& columns = *catalogue.GetDialogColumns(dialog);
        TRV_FUZZ_CHECK(count == columns.GetColumnCount());
        CSmartStringArray shown;
        catalogue.GetShownColumnWidths(dialog, shown);
        CSmartIntArray grid;
        for (int i = 0; i < shown.GetSize(); ++i)
            grid.Add(40 + i);
        catalogue.WriteDialogLayout(dialog, &grid, grid.GetSize());
        catalogue.LoadDialogColumns(dialog, count, true);
        TRV_FUZZ_CHECK(catalogue.BuildColumnOptions(dialog, false));
    }
    return 0;
}
