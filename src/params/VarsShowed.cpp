#include "params/VarsShowed.h"

#include "KLV/Translate.h"
#include "params/VariablesKeys.h"

#include <algorithm>

void TVarsShowed::AddColumn(const std::string& caption, const std::string& explanation,
                            const std::string& keyName, uint16_t state, uint16_t translate,
                            const std::string& width)
{
    captions.Add(caption);
    explanations.Add(explanation);
    keyNames.Add(keyName);
    states.Add(state);
    order.Add(0);
    widths.Add(width);
    translateFlags.Add(translate);
}

void TVarsShowed::InsertColumn(int position, const std::string& caption,
                               const std::string& explanation, const std::string& keyName,
                               uint16_t state, uint16_t translate, const std::string& width)
{
    captions.InsertAt(position, caption);
    explanations.InsertAt(position, explanation);
    keyNames.InsertAt(position, keyName);
    states.InsertAt(position, state);
    order.InsertAt(position, 0);
    widths.InsertAt(position, width);
    translateFlags.InsertAt(position, translate);
}

void TVarsShowed::RemoveAll()
{
    captions.SetSize(0);
    explanations.SetSize(0);
    keyNames.SetSize(0);
    states.SetSize(0);
    order.SetSize(0);
    widths.SetSize(0);
    translateFlags.SetSize(0);
}

std::string TVarsShowed::GetCaption(int index) const
{
    if (index < 0 || index >= keyNames.GetSize())
        return {};
    return translateFlags[index] != 0 ? Translate(captions[index]) : captions[index];
}

void TVarsShowed::ApplySavedLayout(const CSmartStringArray& savedKeyNames,
                                   const CSmartIntArray& savedFlags,
                                   const CSmartStringArray& savedWidths, int& leadingCount)
{
    const int count = GetCount();
    const int leading = std::min(leadingCount, count);
    unsigned int next = 0;
    for (int i = 0; i < leading; ++i) {
        order[i] = ++next;
        if (i < savedWidths.GetSize())
            widths[i] = savedWidths[i];
    }
    for (int s = leadingCount; s < savedKeyNames.GetSize(); ++s) {
        const int column = keyNames.FindFrom(0, savedKeyNames[s]);
        if (column < 0)
            continue;
        // A flag missing from the saved layout counts as 0: a damaged file still sets the
        // list up.
        const int flag = s < savedFlags.GetSize() ? savedFlags[s] : 0;
        order[column] = ++next;
        ++leadingCount;
        states[column] = flag == 0 ? 0 : (flag == 1 ? 2 : 3);
        if (s < savedWidths.GetSize())
            widths[column] = savedWidths[s];
    }
    for (int i = 0; i < count; ++i)
        if (order[i] == 0)
            order[i] = ++next;
}

void CVariablesKeys::BuildShownColumns(const CVariablesKeys& keys, TVarsShowed& shown,
                                       int& leadingCount, bool secondSet,
                                       const CVariableDefinitionList* filter)
{
    const int shownMask = VAR_USE_SHOWN | (secondSet ? VAR_USE_SHOWN_SECOND : 0);
    const int leadingMask = VAR_USE_LEADING | (secondSet ? VAR_USE_LEADING_SECOND : 0);
    for (int i = 0; i < keys.GetSize(); ++i) {
        const TVarKeyStruct& variable = *keys.GetVariable(i);
        const std::string key = variable.GetKeyName();
        if (filter && filter->FindByName(key) < 0)
            continue;
        if (!(variable.usageMask & shownMask))
            continue;
        const bool leading = (variable.usageMask & leadingMask) != 0;
        const auto place = [&](const std::string& caption, const std::string& explanation,
                               const std::string& keyName, uint16_t translate) {
            if (leading)
                shown.InsertColumn(leadingCount++, caption, explanation, keyName, 1, translate,
                                   "-1");
            else
                shown.AddColumn(caption, explanation, keyName, 0, translate, "-1");
        };
        if (!IsListKind(variable.kind)) {
            place(variable.captionKey, variable.explanationKey, key, 1);
            continue;
        }
        const CVariableDefinitionList* list = keys.GetDefinitionList(variable.kind);
        if (!list)
            continue;
        for (int n = 0; n < list->GetDefinitionCount(); ++n)
            place(list->GetDefinitionName(n), list->GetDefinitionExplanation(n),
                  key + "[" + std::to_string(n) + "]", 0);
    }
}
