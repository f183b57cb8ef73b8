#include "KLV/MapGenToCola.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <random>
#include <vector>

namespace {

using Key = std::vector<unsigned short>;

// Key number n of length 3, distinct for every n below 65536 x 65536.
Key KeyNumber(int n)
{
    return {static_cast<unsigned short>(n & 0xFFFF), static_cast<unsigned short>(n >> 16), 7};
}

bool Has(CMapGenToCola& cache, const Key& key, float* cost = nullptr)
{
    float found = 0.0f;
    unsigned hash = 0;
    const bool hit = cache.Busca(found, hash, key.data());
    if (hit && cost)
        *cost = found;
    return hit;
}

void Insert(CMapGenToCola& cache, const Key& key, float cost)
{
    cache.Inserta(key.data(), cost, 0, false);
}

TEST(MapGenToColaTest, HashIsTimes33PlusItem)
{
    for (int length = 0; length < 10; ++length) {
        Key key;
        std::uint32_t expected = 0;
        for (int i = 0; i < length; ++i) {
            key.push_back(static_cast<unsigned short>(65535 - 977 * i));
            expected = expected * 33 + key.back();
        }
        EXPECT_EQ(CMapGenToCola::Hash(key.data(), length), expected) << length;
    }
    CMapGenToCola cache;
    cache.Inicializa(3);
    const Key key{1, 2, 3};
    float cost = 0.0f;
    unsigned hash = 0;
    cache.Busca(cost, hash, key.data());
    EXPECT_EQ(hash, (1u * 33 + 2) * 33 + 3) << "a look-up hands its hash to the insertion";
}

TEST(MapGenToColaTest, EvictsTheLeastRecentlyInsertedOrFound)
{
    for (const bool touchFirst : {false, true}) {
        CMapGenToCola cache;
        cache.Inicializa(3);
        for (int n = 0; n < CMapGenToCola::kMaxEntries; ++n)
            Insert(cache, KeyNumber(n), static_cast<float>(n));
        ASSERT_EQ(cache.GetCount(), CMapGenToCola::kMaxEntries);
        if (touchFirst) {
            EXPECT_TRUE(Has(cache, KeyNumber(0))) << "a hit makes key 0 the last to go";
        }
        Insert(cache, KeyNumber(CMapGenToCola::kMaxEntries), 1.0f);
        EXPECT_EQ(cache.GetCount(), CMapGenToCola::kMaxEntries);
        EXPECT_EQ(Has(cache, KeyNumber(0)), touchFirst);
        EXPECT_EQ(Has(cache, KeyNumber(1)), !touchFirst);
        EXPECT_TRUE(Has(cache, KeyNumber(CMapGenToCola::kMaxEntries)));
        EXPECT_TRUE(cache.Comprueba());
    }
}

TEST(MapGenToColaTest, InsertingAPresentSequenceKeepsTheCount)
{
    CMapGenToCola cache;
    cache.Inicializa(3);
    Insert(cache, KeyNumber(1), 5.0f);
    Insert(cache, KeyNumber(2), 6.0f);
    EXPECT_FALSE(cache.Inserta(KeyNumber(1).data(), 4.0f, 0, false));
    EXPECT_EQ(cache.GetCount(), 2);
    float cost = 0.0f;
    EXPECT_TRUE(Has(cache, KeyNumber(1), &cost));
    EXPECT_EQ(cost, 4.0f);
}

TEST(MapGenToColaTest, EmptiedCacheMissesEverything)
{
    CMapGenToCola cache;
    cache.Inicializa(3);
    for (int n = 0; n < 50; ++n)
        Insert(cache, KeyNumber(n), 1.0f);
    cache.Vacia();
    EXPECT_EQ(cache.GetCount(), 0);
    for (int n = 0; n < 50; ++n)
        EXPECT_FALSE(Has(cache, KeyNumber(n))) << n;
    EXPECT_TRUE(cache.Comprueba());
    Insert(cache, KeyNumber(3), 2.0f);
    EXPECT_TRUE(Has(cache, KeyNumber(3)));

    // A new key length empties it too: old keys are shorter than the new ones.
    cache.SetKeyLength(4);
    EXPECT_EQ(cache.GetCount(), 0);
    const Key longer{3, 0, 7, 1};
    EXPECT_FALSE(Has(cache, longer));
    Insert(cache, longer, 1.0f);
    EXPECT_TRUE(Has(cache, longer));

    // A cache never set up misses and fills on the first insertion.
    CMapGenToCola fresh;
    fresh.SetKeyLength(3);
    EXPECT_FALSE(Has(fresh, KeyNumber(1)));
    EXPECT_FALSE(fresh.Borra(KeyNumber(1).data()));
    Insert(fresh, KeyNumber(1), 1.0f);
    EXPECT_TRUE(Has(fresh, KeyNumber(1)));
}

// A random run against a plain model of the same bounded LRU map; the queue checks itself
// after every step.
TEST(MapGenToColaTest, RandomRunMatchesAModelAndStaysConsistent)
{
    CMapGenToCola cache;
    cache.Inicializa(3);
    std::list<int> order; // most recent first
    std::map<int, std::pair<float, std::list<int>::iterator>> model;
    auto touch = [&](int n) {
        order.erase(model[n].second);
        order.push_front(n);
        model[n].second = order.begin();
    };

    std::mt19937 random(45);
    // Just over the bound, so insertions keep evicting.
    std::uniform_int_distribution<int> keyOf(0, CMapGenToCola::kMaxEntries * 11 / 10);
    std::uniform_int_distribution<int> action(0, 999);
    for (int step = 0; step < 100000; ++step) {
        const int n = keyOf(random);
        const Key key = KeyNumber(n);
        const int what = action(random);
        const auto inModel = model.find(n);
        if (what < 500) {
            float cost = 0.0f;
            ASSERT_EQ(Has(cache, key, &cost), inModel != model.end()) << step;
            if (inModel != model.end()) {
                ASSERT_EQ(cost, inModel->second.first) << step;
                touch(n);
            }
        } else if (what < 990) {
            const auto cost = static_cast<float>(step);
            ASSERT_EQ(cache.Inserta(key.data(), cost, 0, false), inModel == model.end()) << step;
            if (inModel != model.end()) {
                inModel->second.first = cost;
            } else {
                if (static_cast<int>(model.size()) == CMapGenToCola::kMaxEntries) {
                    model.erase(order.back());
                    order.pop_back();
                }
                order.push_front(n);
                model[n] = {cost, order.begin()};
            }
        } else {
            ASSERT_EQ(cache.Borra(key.data()), inModel != model.end()) << step;
            if (inModel != model.end()) {
                order.erase(inModel->second.second);
                model.erase(inModel);
            }
        }
        if (step == 70000) { // once, after the cache has been full for a long time
            cache.Vacia();
            model.clear();
            order.clear();
        }
        ASSERT_EQ(cache.GetCount(), static_cast<int>(model.size())) << step;
        ASSERT_TRUE(cache.Comprueba()) << step;
    }
}

} // namespace
