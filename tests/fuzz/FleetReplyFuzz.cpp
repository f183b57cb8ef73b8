// Replies of the fleet-telematics service: result codes, and ';'-separated quoted tables whose
// rows end in CR LF, read as a vehicle list or as order states.

#include "FuzzSupport.h"
#include "KLV/TomTomWork.h"

#include <algorithm>

namespace {

void CheckSpans(std::string_view reply)
{
    const std::string_view row = reply.substr(0, reply.find("\r\n"));
    for (int column = 0; column <= 8; ++column) {
        const CTomTomWork::FieldSpan span = CTomTomWork::GetFieldSpan(reply, column);
        TRV_FUZZ_CHECK(span.start + span.length <= row.size());
    }
}

void CheckOrderStates(std::string_view reply)
{
    CSmartPtrArray<COrderConfirm> states;
    const int read = CTomTomWork::ReadOrderStates(reply, states);
    trv::fuzz::Outcome(read ? "read " + std::to_string(states.GetSize()) + " order states"
                            : std::string("refused as order states"));
    const std::size_t rows = static_cast<std::size_t>(std::count(reply.begin(), reply.end(), '\n'));
    TRV_FUZZ_CHECK(static_cast<std::size_t>(states.GetSize()) <= 2 * rows);
    bool releasedPart = true;
    for (int i = 0; i < states.GetSize(); ++i) {
        const COrderConfirm& state = *states[i];
        TRV_FUZZ_CHECK(state.EnRoute == 0 || state.EnRoute == 1);
        TRV_FUZZ_CHECK(state.Released == 0 || state.Released == 1);
        // Released orders come first and carry no vehicle.
        TRV_FUZZ_CHECK(state.Released == 0 || (releasedPart && state.ObjectNo.empty()));
        releasedPart = releasedPart && state.Released == 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const unsigned selector = trv::fuzz::TakeSelector(input);
    CheckSpans(input);
    if (selector % 2 == 0) {
        CheckOrderStates(input);
        return 0;
    }
    std::string list;
    trv::fuzz::Outcome(CTomTomWork::ReadVehicleReport(input, list)
                           ? "read a vehicle report of " + std::to_string(list.size()) + " bytes"
                           : std::string("refused as a vehicle report"));
    TRV_FUZZ_CHECK(list.size() <= input.size() + 1);
    return 0;
}
