// The planner's rejections file: a fuzzed ".rej" read into tables of a small plan, then written
// back.

#include "FuzzSupport.h"
#include "model/ModelContext.h"
#include "model/Rejections.h"
#include "model/Resources.h"

namespace {

// Three orders and two pairs, built once.
void BuildPlan()
{
    static bool built = false;
    if (built)
        return;
    built = true;
    for (int i = 0; i < 3; ++i) {
        COrder& order = *ModelContext().orders.AddOrder();
        order.plan.index = i;
        order.Text(ORDER_CODE) = "O" + std::to_string(i);
    }
    CResources& fleet = Resources();
    for (int i = 0; i < 2; ++i) {
        CDriver* driver = fleet.drivers.AddNew();
        driver->code = "D" + std::to_string(i);
        int existed = 0;
        fleet.pairs.Add(fleet.lorries.Add(fleet.trucks.GetOrAdd("T" + std::to_string(i)),
                                          fleet.trailers.GetOrAdd("R" + std::to_string(i))),
                        driver, existed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BuildPlan();
    CRejections& rejections = ModelContext().rejectionModel;
    rejections.InitRejections(3, 2, 0, true, false, false);
    const std::string path = trv::fuzz::WriteFile("plan.rej", trv::fuzz::AsText(data, size));
    TRV_FUZZ_CHECK(rejections.ImportUserRejections(path, 3, 2));
    // Bits only ever land inside the counts, and the list names listed orders.
    for (const TUserRejection* record : rejections.GetUserRejectionList())
        TRV_FUZZ_CHECK(record->orderCode.size() == 2 && record->orderCode[0] == 'O');
    rejections.ImportUserRejections(path, 2, 1);
    rejections.RestoreUserRejections();
    TRV_FUZZ_CHECK(rejections.ExportUserRejections((trv::fuzz::Folder() / "out.rej").string()));
    return 0;
}
