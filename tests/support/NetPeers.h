#pragma once

#include "KLV/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// The loopback peers of the network tests. Under CTest a fixture has started them and
// TRV_NET_PEERS names their settings file; a binary run by hand starts and stops its own.
class NetPeers : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        const char* given = std::getenv("TRV_NET_PEERS");
        std::string settings = given ? given : "";
        if (settings.empty() || !std::filesystem::exists(settings)) {
            m_ownState = std::filesystem::temp_directory_path() /
                         ("trv-net-peers-" + std::to_string(::getpid()));
            Run("start");
            settings = (m_ownState / "peers.env").string();
        }
        std::ifstream file(settings);
        std::string line;
        while (std::getline(file, line)) {
            const auto equals = line.find('=');
            if (equals != std::string::npos)
                Values()[line.substr(0, equals)] = line.substr(equals + 1);
        }
        ASSERT_FALSE(Get("HTTP_PORT").empty()) << "no peers in " << settings;
    }

    void TearDown() override
    {
        if (!m_ownState.empty())
            Run("stop");
    }

    static std::string Get(const std::string& key)
    {
        const auto found = Values().find(key);
        return found == Values().end() ? std::string() : found->second;
    }

    static std::string HttpUrl(const std::string& path)
    {
        return "http://127.0.0.1:" + Get("HTTP_PORT") + path;
    }

    static std::string HttpsUrl(const std::string& path)
    {
        return "https://127.0.0.1:" + Get("HTTPS_PORT") + path;
    }

  private:
    static std::map<std::string, std::string>& Values()
    {
        static std::map<std::string, std::string> values;
        return values;
    }

    void Run(const std::string& action)
    {
        const std::string command =
            "bash '" TRV_NET_PEERS_SCRIPT "' " + action + " '" + m_ownState.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    std::filesystem::path m_ownState;
};

// A temporary folder of one test, removed at its end.
class TemporaryFolder
{
  public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "trv-net-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

// Sends the trace log to a file of its own for one test, at the detail level.
class TraceCapture
{
  public:
    TraceCapture()
    {
        std::ofstream(m_folder.File("config.ini"))
            << "[LOG]\nLevel=3\nFicheroLog=" << m_folder.File("trace.log") << "\n";
        trv::ResetTrace();
        InitTrace(false, m_folder.File("config.ini"));
    }
    ~TraceCapture() { trv::ResetTrace(); }

    std::string Text() const
    {
        trv::FlushTrace();
        std::ifstream file(m_folder.File("trace.log"));
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Lines holding the text.
    std::vector<std::string> LinesWith(const std::string& part) const
    {
        std::vector<std::string> lines;
        std::istringstream text(Text());
        std::string line;
        while (std::getline(text, line))
            if (line.find(part) != std::string::npos)
                lines.push_back(line);
        return lines;
    }

  private:
    TemporaryFolder m_folder;
};
