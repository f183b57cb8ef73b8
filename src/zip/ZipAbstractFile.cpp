#include "zip/ZipAbstractFile.h"

bool CZipAbstractFile::Open(const std::string&, unsigned, bool)
{
    return true;
}
