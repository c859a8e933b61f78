// The text tables behind the file table, the kept answers and the directories as written.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/text_map.h"

namespace {

std::string KeyNumber(int i) {
    // Keys of every length class: short, a word and more, and beyond a quarter block.
    std::string key = "c:\\tree\\dir" + std::to_string(i % 97) + "\\file_" + std::to_string(i);
    if (i % 500 == 0) key.append(5000, static_cast<char>('a' + i % 26));
    return key;
}

TEST(TextMap, FindsEveryKeyThroughGrowthAndKeepsTheFirstValue) {
    CTextMap<int> map;
    std::vector<int*> kept;
    const int count = 20000;
    for (int i = 0; i < count; ++i) {
        std::string key = KeyNumber(i);
        const auto entered = map.Insert(key, i);
        ASSERT_TRUE(entered.second) << key;
        kept.push_back(entered.first);
        key.assign(key.size(), '?');  // the map holds a copy of the key, not the caller's text
    }
    for (int i = 0; i < count; ++i) {
        int* value = map.Find(KeyNumber(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, i);
        EXPECT_EQ(value, kept[i]) << "a value moved as the table grew";
    }
    const auto again = map.Insert(KeyNumber(7), -1);
    EXPECT_FALSE(again.second);
    EXPECT_EQ(*again.first, 7);
    // Keys that differ from entered ones in their last byte, their length or their case.
    EXPECT_EQ(map.Find("c:\\tree\\dir7\\file_70"), nullptr);
    EXPECT_EQ(map.Find("c:\\tree\\dir7\\file_"), nullptr);
    EXPECT_EQ(map.Find("C:\\tree\\dir7\\file_7"), nullptr);
    EXPECT_EQ(map.Find(""), nullptr);

    map.Clear();
    EXPECT_EQ(map.Find(KeyNumber(7)), nullptr);
    EXPECT_TRUE(map.Insert(KeyNumber(7), 70).second);
    EXPECT_EQ(*map.Find(KeyNumber(7)), 70);
}

TEST(TextMap, AnEmptyKeyIsAKeyLikeAnyOther) {
    CTextIndex<const char*> index;
    EXPECT_EQ(index.Find(std::string_view()), nullptr);
    EXPECT_TRUE(index.Insert(std::string_view(), "empty").second);
    EXPECT_TRUE(index.Insert("x", "x").second);
    ASSERT_NE(index.Find(""), nullptr);
    EXPECT_STREQ(*index.Find(""), "empty");
    EXPECT_STREQ(*index.Find("x"), "x");
    EXPECT_EQ(index.Size(), 2u);
    // A null value is a value: the directory tables keep "nothing there" answers.
    CTextMap<const char*> map;
    EXPECT_TRUE(map.Insert("c:\\gone", nullptr).second);
    ASSERT_NE(map.Find("c:\\gone"), nullptr);
    EXPECT_EQ(*map.Find("c:\\gone"), nullptr);
}

// Two keys of one length whose hashes are the same are still two keys: found by a search of
// texts numbered until two collide, which the hash's 32 bits make likely within some 10^5.
TEST(TextMap, KeysWhoseHashesCollideStayApart) {
    std::unordered_map<uint32_t, std::string> byHash;
    std::string first, second;
    for (int i = 0; second.empty(); ++i) {
        ASSERT_LT(i, 2000000) << "no two keys collided";
        const std::string key = "k" + std::to_string(1000000 + i);  // all of one length
        const auto entered = byHash.emplace(HashText(key), key);
        if (!entered.second) {
            first = entered.first->second;
            second = key;
        }
    }
    ASSERT_EQ(first.size(), second.size());
    CTextIndex<int> index;
    EXPECT_TRUE(index.Insert(first, 1).second);
    EXPECT_EQ(index.Find(second), nullptr);
    EXPECT_TRUE(index.Insert(second, 2).second);
    EXPECT_FALSE(index.Insert(first, 3).second);
    EXPECT_FALSE(index.Insert(second, 4).second);
    ASSERT_NE(index.Find(first), nullptr);
    ASSERT_NE(index.Find(second), nullptr);
    EXPECT_EQ(*index.Find(first), 1);
    EXPECT_EQ(*index.Find(second), 2);
    EXPECT_EQ(index.Size(), 2u);
}

TEST(TextMap, HashSeesEveryByteAndTheLength) {
    const std::string base = "c:\\work\\include\\sub\\name.h";
    for (size_t i = 0; i < base.size(); ++i) {
        std::string changed = base;
        changed[i] ^= 0x20;
        EXPECT_NE(HashText(changed), HashText(base)) << i;
    }
    EXPECT_NE(HashText(std::string_view("ab\0", 3)), HashText("ab"));
    EXPECT_NE(HashText(std::string(16, '\0')), HashText(std::string(8, '\0')));
}

}  // namespace
