#pragma once

#include <memory>
#include <string>
#include <vector>

// The questions the demand and fleet models put to the planner beyond yes and no: which of
// several locations-table rows to take, and which records an import should read. The models
// call the installed implementation; the headless one (batch runs) answers without asking,
// the application installs the Qt dialogs, tests install the recording ones.

// One candidate of the location chooser.
struct TLocInfo
{
    std::string code;
    std::string name;
    int type = 0;
};

class CLocationChooser
{
  public:
    virtual ~CLocationChooser() = default;
    // The chosen row's index, or false when the planner cancelled.
    virtual bool Choose(const std::vector<TLocInfo>& rows, int& chosen) = 0;
};

// Cancels, with a trace line naming the code it could not decide.
class CHeadlessLocationChooser : public CLocationChooser
{
  public:
    bool Choose(const std::vector<TLocInfo>& rows, int& chosen) override;
};

// Records the rows it was shown and answers with `answer` (-1 cancels).
class CRecordingLocationChooser : public CLocationChooser
{
  public:
    explicit CRecordingLocationChooser(int answerIndex = -1);
    ~CRecordingLocationChooser() override;
    CRecordingLocationChooser(const CRecordingLocationChooser&) = delete;
    CRecordingLocationChooser& operator=(const CRecordingLocationChooser&) = delete;
    bool Choose(const std::vector<TLocInfo>& rows, int& chosen) override;

    int answer;
    std::vector<std::vector<TLocInfo>> shown;

  private:
    CLocationChooser* m_previous;
};

CLocationChooser& GetLocationChooser();
// Installs `chooser` (owned by the caller) and returns the one it replaces; null puts the
// headless one back.
CLocationChooser* InstallLocationChooser(CLocationChooser* chooser);

// What an import filters: the kinds of filter dialog.
enum FilterKind : int
{
    FILTER_ORDERS = 1,
    FILTER_RESOURCES = 2,
    FILTER_WAREHOUSES = 3,
    FILTER_REAL_TIME_LOAD = 4,
};

// A filter dialog of one filter kind, simple or the user's.
class CFilterDialog
{
  public:
    virtual ~CFilterDialog() = default;
    // Whether the kind has fields to filter on; a dialog without them is not shown.
    virtual bool HasFilterableFields() = 0;
    // Shows the dialog: the condition to read by, or false when the planner cancelled.
    virtual bool Ask(std::string& condition) = 0;
};

class CFilterDialogFactory
{
  public:
    virtual ~CFilterDialogFactory() = default;
    // The simple dialog when `simple` ("SimpleFilter"), else the user filter dialog.
    virtual std::unique_ptr<CFilterDialog> Create(int filterKind, bool simple) = 0;
};

// Dialogs without filterable fields: imports read everything.
class CHeadlessFilterDialogFactory : public CFilterDialogFactory
{
  public:
    std::unique_ptr<CFilterDialog> Create(int filterKind, bool simple) override;
};

// Records each dialog created (kind, simple) and each one shown; its dialogs have fields when
// `hasFields` and answer `condition`, or cancel when `cancel`.
class CRecordingFilterDialogFactory : public CFilterDialogFactory
{
  public:
    CRecordingFilterDialogFactory();
    ~CRecordingFilterDialogFactory() override;
    CRecordingFilterDialogFactory(const CRecordingFilterDialogFactory&) = delete;
    CRecordingFilterDialogFactory& operator=(const CRecordingFilterDialogFactory&) = delete;
    std::unique_ptr<CFilterDialog> Create(int filterKind, bool simple) override;

    bool hasFields = true;
    bool cancel = false;
    std::string condition;
    std::vector<std::pair<int, bool>> created;
    int shownCount = 0;

  private:
    CFilterDialogFactory* m_previous;
};

CFilterDialogFactory& GetFilterDialogFactory();
CFilterDialogFactory* InstallFilterDialogFactory(CFilterDialogFactory* factory);
