#include "model/ModelDialogs.h"

#include "KLV/Trace.h"

namespace {

CHeadlessLocationChooser g_headlessChooser;
CLocationChooser* g_chooser = &g_headlessChooser;
CHeadlessFilterDialogFactory g_headlessFilters;
CFilterDialogFactory* g_filters = &g_headlessFilters;

class CNoFieldsFilterDialog : public CFilterDialog
{
  public:
    bool HasFilterableFields() override { return false; }
    bool Ask(std::string&) override { return false; }
};

class CRecordedFilterDialog : public CFilterDialog
{
  public:
    explicit CRecordedFilterDialog(CRecordingFilterDialogFactory& factory) : m_factory(factory) {}
    bool HasFilterableFields() override { return m_factory.hasFields; }
    bool Ask(std::string& condition) override
    {
        ++m_factory.shownCount;
        if (m_factory.cancel)
            return false;
        condition = m_factory.condition;
        return true;
    }

  private:
    CRecordingFilterDialogFactory& m_factory;
};

} // namespace

bool CHeadlessLocationChooser::Choose(const std::vector<TLocInfo>& rows, int&)
{
    TRV_TRACE(2, "CDlgChooseLocation::DoModal", "no chooser: %d rows for %s left undecided",
              static_cast<int>(rows.size()), rows.empty() ? "" : rows.front().code.c_str());
    return false;
}

CRecordingLocationChooser::CRecordingLocationChooser(int answerIndex)
    : answer(answerIndex), m_previous(InstallLocationChooser(this))
{
}

CRecordingLocationChooser::~CRecordingLocationChooser()
{
    InstallLocationChooser(m_previous);
}

bool CRecordingLocationChooser::Choose(const std::vector<TLocInfo>& rows, int& chosen)
{
    shown.push_back(rows);
    if (answer < 0 || answer >= static_cast<int>(rows.size()))
        return false;
    chosen = answer;
    return true;
}

CLocationChooser& GetLocationChooser()
{
    return *g_chooser;
}

CLocationChooser* InstallLocationChooser(CLocationChooser* chooser)
{
    CLocationChooser* previous = g_chooser;
    g_chooser = chooser ? chooser : &g_headlessChooser;
    return previous;
}

std::unique_ptr<CFilterDialog> CHeadlessFilterDialogFactory::Create(int, bool)
{
    return std::make_unique<CNoFieldsFilterDialog>();
}

CRecordingFilterDialogFactory::CRecordingFilterDialogFactory()
    : m_previous(InstallFilterDialogFactory(this))
{
}

CRecordingFilterDialogFactory::~CRecordingFilterDialogFactory()
{
    InstallFilterDialogFactory(m_previous);
}

std::unique_ptr<CFilterDialog> CRecordingFilterDialogFactory::Create(int filterKind, bool simple)
{
    created.emplace_back(filterKind, simple);
    return std::make_unique<CRecordedFilterDialog>(*this);
}

CFilterDialogFactory& GetFilterDialogFactory()
{
    return *g_filters;
}

CFilterDialogFactory* InstallFilterDialogFactory(CFilterDialogFactory* factory)
{
    CFilterDialogFactory* previous = g_filters;
    g_filters = factory ? factory : &g_headlessFilters;
    return previous;
}
