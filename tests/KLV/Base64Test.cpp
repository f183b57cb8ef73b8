#include "KLV/Base64.h"

#include <gtest/gtest.h>

#include <random>

TEST(Base64, StandardVectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"user:pass", "dXNlcjpwYXNz"},
        {"\xFF\xFE", "//4="},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Base64Decode(encoded), plain);
    }
}

TEST(Base64, RandomBuffersRoundTrip)
{
    std::mt19937 random(20240305);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 1000; ++round) {
        std::string bytes(static_cast<std::size_t>(length(random)), '\0');
        for (char& value : bytes)
            value = static_cast<char>(byte(random));
        const std::string encoded = Base64Encode(bytes);
        ASSERT_EQ(encoded.size() % 4, 0u);
        ASSERT_EQ(Base64Decode(encoded), bytes) << "round " << round;
    }
}

TEST(Base64, DecodingStopsAtTheFirstInvalidCharacter)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Zm9v!Zm9v", "foo"}, {"Zm9vYg==garbage", "foob"}, {"Zm9vY", "foo"},
        {"Zg", "f"},          {"Zm9\nvYmFy", "fo"},        {"", ""},
        {"=Zm9v", ""},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(Base64Decode(text), bytes) << text;
}
