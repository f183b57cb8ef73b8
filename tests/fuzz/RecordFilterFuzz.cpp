// Record filters: a fuzzed condition parsed for each use and tested on a fuzzed line whose
// fields are taken from it; the quoting of values must give back what it quoted.

#include "FuzzSupport.h"
#include "KLV/FetchFilter.h"

#include <string>

namespace {

// A record of one line whose field N (by name "F<N>" or any other name) is its Nth word.
class LineRecord final : public CFetchFilterRecord
{
  public:
    explicit LineRecord(std::string_view line) : m_line(line) {}
    std::string_view GetCurrentLine() const override { return m_line; }
    void GetFieldValue(std::string_view name, std::string& value) override
    {
        const std::size_t word = name.size() % 4;
        std::size_t start = 0;
        for (std::size_t skip = 0; skip < word && start != std::string_view::npos; ++skip) {
            start = m_line.find(' ', start);
            start = start == std::string_view::npos ? start : start + 1;
        }
        value = start == std::string_view::npos
                    ? std::string()
                    : std::string(m_line.substr(start, m_line.find(' ', start) - start));
    }

  private:
    std::string_view m_line;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const unsigned selector = trv::fuzz::TakeSelector(input);
    const std::string_view condition = trv::fuzz::TakeLine(input);
    const std::string_view line = trv::fuzz::TakeLine(input);

    static constexpr const char* kSeparators[] = {";", ",", "", "#,#"};
    CFetchFilterSettings settings;
    settings.separator = kSeparators[selector % 4];
    settings.qualifier = (selector & 4) ? "\"" : "";
    settings.decimalSeparator = (selector & 8) ? "," : ".";
    settings.linePositions = (selector & 16) == 0;
    const FetchFilterUse use = (selector & 32) ? FetchFilterUse::WriteIf : FetchFilterUse::Where;

    CFetchFilter filter;
    const bool parsed = filter.Parse(condition, settings, use);
    trv::fuzz::Outcome(parsed ? std::string("parsed") : "refused: " + filter.GetError());
    if (parsed) {
        if (use == FetchFilterUse::Where) {
            LineRecord record(line);
            filter.Test(record);
        } else {
            filter.ClearWriteIf();
            filter.ResolveWriteIf("A", line);
            filter.ResolveWriteIf(condition.substr(0, condition.find('=')), line);
            filter.TestWriteIf();
        }
    }
    TRV_FUZZ_CHECK(UnquoteFilterValue(QuoteFilterValue(line)) == line);

    std::string rewritten(condition);
    RewriteFilter(rewritten, (selector & 64) != 0, [](std::string& piece) {
        piece += " ";
        return true;
    });
    return 0;
}
