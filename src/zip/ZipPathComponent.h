#pragma once

#include <string>

// A path split once into prefix (UNC or long-path), drive, folder, file title and extension.
// Both "/" and "\" separate; the answers use "/".
class CZipPathComponent
{
  public:
    explicit CZipPathComponent(const std::string& path);

    // Title, plus "." and the extension when there is one.
    std::string GetFileName() const;
    std::string GetFileTitle() const { return m_title; }
    std::string GetFileExt() const { return m_extension; }
    std::string GetFileDrive() const { return m_prefix + m_drive; }
    // Prefix + drive + "/" (when both drive and folder are set) + folder.
    std::string GetFilePath() const;
    // File path + "/" + file name (when the name is set).
    std::string GetFullPath() const;
    // Folder + "/" (when both are set) + file name.
    std::string GetNoDrive() const;

  private:
    std::string m_prefix;
    std::string m_drive;
    std::string m_folder;
    std::string m_title;
    std::string m_extension;
};

inline bool IsZipSeparator(char c)
{
    return c == '/' || c == '\\';
}
