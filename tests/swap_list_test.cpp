#include "tool/swap_list.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

using namespace std::string_literals;
using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

struct Case {
    const char* name;
    std::string text;
    std::optional<Pairs> expected;  // none: the file is rejected
};

// The packed entries of `pairs`, worked out here rather than with the library's own helper.
std::vector<std::uint32_t> packed(const Pairs& pairs) {
    std::vector<std::uint32_t> out;
    for (const auto& [from, to] : pairs) {
        out.push_back((to << 16) | from);
    }
    return out;
}

TEST(SwapList, ParsesPermittedTextAndRejectsAnythingElse) {
    const Case cases[] = {
        {"pairs on CRLF lines", "1 2\r\n3 4\r\n", Pairs{{1, 2}, {3, 4}}},
        {"line breaks play no part", "1\r\n2 3\t4", Pairs{{1, 2}, {3, 4}}},
        {"odd last number ignored", "1 2 3", Pairs{{1, 2}}},
        {"empty", "", Pairs{}},
        {"separators only", " \t\r\n\n ", Pairs{}},
        {"single number", "42\n", Pairs{}},
        {"leading zeros are decimal", "0010 020", Pairs{{10, 20}}},
        {"above 4095 keeps the low 12 bits", "4096 4097", Pairs{{0, 1}}},
        {"just past 32 bits saturates", "4294967296 1", Pairs{{4095, 1}}},
        {"past 64 bits saturates", "1 99999999999999999999999", Pairs{{1, 4095}}},
        {"duplicates keep file order", "5 6 5 7", Pairs{{5, 6}, {5, 7}}},
        {"number ends the file", "\t12\n\n34", Pairs{{12, 34}}},
        {"comma", "1,2", std::nullopt},
        {"minus sign", "-1 2", std::nullopt},
        {"plus sign", "1 +2", std::nullopt},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "1 2",
         std::nullopt},
        {"NUL byte", "1 2\0 3 4"s, std::nullopt},
        {"form feed", "1\f2", std::nullopt},
        {"byte above 0x7F", "1 2 \x80", std::nullopt},
        {"bad byte after valid pairs", "1 2\n3 4\n5 6\nx", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly the text's bytes on the heap, with nothing after them to stop a runaway read.
        const std::vector<std::uint8_t> bytes(c.text.begin(), c.text.end());
        const std::optional<levelkit::SwapList> list = levelkit::parseSwapList(bytes);
        ASSERT_EQ(list.has_value(), c.expected.has_value());
        if (list) {
            EXPECT_EQ(list->entries, packed(*c.expected));
        }
    }
}

TEST(SwapList, ReadsAFileOrGivesNoList) {
    testsupport::ScratchDir dir;
    const std::string small = dir.file("small.txt");
    const std::string large = dir.file("large.txt");
    const std::string lateBadByte = dir.file("late.txt");
    levelgen::writeFile(small, {'7', ' ', '8', '\n'});
    // Longer than any single read, so the file arrives in pieces; a number spans two of them.
    std::string text = "1";
    for (int i = 0; i < 30000; ++i) {
        text += " 4095\r\n1";
    }
    levelgen::writeFile(large, levelgen::Bytes(text.begin(), text.end()));
    text.back() = ';';
    levelgen::writeFile(lateBadByte, levelgen::Bytes(text.begin(), text.end()));

    std::optional<levelkit::SwapList> list = levelkit::readSwapList(small);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entries, packed({{7, 8}}));
    list = levelkit::readSwapList(large);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->entries, packed(Pairs(30000, {1, 4095})));

    EXPECT_FALSE(levelkit::readSwapList(lateBadByte));
    EXPECT_FALSE(levelkit::readSwapList(dir.file("missing.txt")));
    // A folder opens, claims an enormous length and then reads nothing.
    EXPECT_FALSE(levelkit::readSwapList(dir.path().string()));
}

}  // namespace
