#pragma once

#include <cstdint>
#include <string>

// The caller's progress object for an archive operation: told the name in the archive and the
// path on disk, then the total, then each step's count (false aborts), then the end.
class CZipActionCallback
{
  public:
    virtual ~CZipActionCallback() = default;

    virtual void Init(const std::string& nameInArchive, const std::string& pathOnDisk)
    {
        m_nameInArchive = nameInArchive;
        m_pathOnDisk = pathOnDisk;
        m_total = 0;
    }
    virtual void SetTotal(std::uint64_t total) { m_total = total; }
    virtual bool Callback(std::uint64_t step) = 0;
    virtual void CallbackEnd() {}

    int m_kind = 0; // the CZipArchive::CallbackType it serves
    std::string m_nameInArchive;
    std::string m_pathOnDisk;
    std::uint64_t m_total = 0;
};
