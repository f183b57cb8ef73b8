#include "zip/ZipPathComponent.h"

#include <cctype>

CZipPathComponent::CZipPathComponent(const std::string& path)
{
    static const char kLongUncPrefix[] = "\\\\?\\unc\\";
    std::size_t matched = 0;
    while (matched < 8 && matched < path.size()) {
        char c = char(std::tolower(static_cast<unsigned char>(path[matched])));
        if (c == '/') {
            c = '\\';
        }
        if (c != kLongUncPrefix[matched]) {
            break;
        }
        ++matched;
    }
    std::size_t start = 0;
    if (matched == 2 || matched == 4 || matched == 8) {
        m_prefix = path.substr(0, matched);
        start = matched;
    }
    std::string rest = path.substr(start);
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        m_drive = rest.substr(0, 2);
        rest.erase(0, 2);
    }
    const auto lastSeparator = rest.find_last_of("/\\");
    std::string name = rest;
    if (lastSeparator != std::string::npos) {
        m_folder = rest.substr(0, lastSeparator);
        name = rest.substr(lastSeparator + 1);
    }
    while (!m_folder.empty() && IsZipSeparator(m_folder.front())) {
        m_folder.erase(0, 1);
    }
    while (!m_folder.empty() && IsZipSeparator(m_folder.back())) {
        m_folder.pop_back();
    }
    for (char& c : m_folder) {
        if (c == '\\') {
            c = '/';
        }
    }
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        m_title = name;
    } else {
        m_title = name.substr(0, dot);
        m_extension = name.substr(dot + 1);
    }
}

std::string CZipPathComponent::GetFileName() const
{
    return m_extension.empty() ? m_title : m_title + "." + m_extension;
}

std::string CZipPathComponent::GetFilePath() const
{
    std::string path = m_prefix + m_drive;
    if (!m_drive.empty() && !m_folder.empty()) {
        path += "/";
    }
    return path + m_folder;
}

std::string CZipPathComponent::GetFullPath() const
{
    const std::string name = GetFileName();
    return name.empty() ? GetFilePath() : GetFilePath() + "/" + name;
}

std::string CZipPathComponent::GetNoDrive() const
{
    const std::string name = GetFileName();
    if (m_folder.empty()) {
        return name;
    }
    return name.empty() ? m_folder : m_folder + "/" + name;
}
