#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// A fresh folder per test, removed afterwards, plus small file helpers.
class ZipTestFolder : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "trvzipXXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }

    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }

    static void WriteFile(const std::string& path, const std::string& content)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out << content;
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string RandomBytes(std::size_t count, unsigned seed)
    {
        std::mt19937 generator(seed);
        std::string bytes(count, '\0');
        for (char& c : bytes) {
            c = char(generator() & 0xFF);
        }
        return bytes;
    }

    static std::string Text(std::size_t count)
    {
        std::string text;
        while (text.size() < count) {
            text += "ORDER;" + std::to_string(text.size() % 9973) + ";Depot Nord;12,5;pallets\n";
        }
        text.resize(count);
        return text;
    }

    // Exit code of a shell command (output discarded).
    static int Run(const std::string& command)
    {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_root;
};
