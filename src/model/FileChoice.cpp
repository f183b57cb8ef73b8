#include "model/FileChoice.h"

#include "KLV/AppGlobals.h"
#include "KLV/Translate.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "platform/Text.h"

std::string FileDialogFilter(const std::string& extension, const std::string& textFilterKey)
{
    if (trv::EqualsNoCase(extension, ".xls"))
        return Translate("FilterExcel");
    if (trv::EqualsNoCase(extension, ".txt"))
        return Translate(textFilterKey);
    return TranslateFormat("FilterExtension", extension, extension);
}

std::string ProgramDataFolder()
{
    return trv::JoinPath(trv::GetProgramFolder(), Translate("Datos"));
}

std::string LastChosenFolder()
{
    unsigned type = 0;
    std::string folder;
    if (trv::ReadRegistry(trv::RegistryRoot::CurrentUser, trv::kApplicationRegistryKey,
                          "LastFolder", type, folder) &&
        type == trv::kRegistryString)
        return folder;
    return {};
}
