#include "http/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ToWide, DecodesUtf8TextsIntoCharacters) {
    EXPECT_EQ(ToWide(""), L"");
    EXPECT_EQ(ToWide("http://127.0.0.1:8080/media/a01.jpg"),
              L"http://127.0.0.1:8080/media/a01.jpg");
    EXPECT_EQ(ToWide("猫 cat"), L"\x732B cat");
    EXPECT_EQ(ToWide("\xC3\xA9\xF0\x9F\x90\x88"),
              (std::wstring{L'\xE9', static_cast<wchar_t>(0x1F408)}));
    EXPECT_EQ(ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(ToWide, EachByteOfAMalformedSequenceBecomesOneReplacementCharacter) {
    EXPECT_EQ(ToWide("a\x80z"), L"a\xFFFDz");
    EXPECT_EQ(ToWide("\xC0\xAF"), L"\xFFFD\xFFFD") << "overlong";
    EXPECT_EQ(ToWide("\xED\xA0\x80"), L"\xFFFD\xFFFD\xFFFD") << "a surrogate";
    EXPECT_EQ(ToWide("\xF4\x90\x80\x80"), L"\xFFFD\xFFFD\xFFFD\xFFFD") << "past U+10FFFF";
    EXPECT_EQ(ToWide("ok\xE7\x8C"), L"ok\xFFFD\xFFFD") << "cut at the end";
    EXPECT_EQ(ToWide("\xE7\x8C"
                     "A"),
              L"\xFFFD\xFFFD"
              L"A")
        << "cut by another character";
}

TEST(ToThreadAnsi, EncodesEveryCharacterAndGivesBackWhatToWideRead) {
    for (const std::string text : {"", "kensaku", "猫 cat", "\xC3\xA9\xF0\x9F\x90\x88 é"}) {
        EXPECT_EQ(ToThreadAnsi(ToWide(text)), text);
        EXPECT_EQ(ThreadAnsiBytes(ToWide(text)), text.size());
    }
    EXPECT_EQ(ToThreadAnsi(std::wstring_view(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(ToThreadAnsi, AUnitThatIsNoCharacterBecomesTheDefaultCharacter) {
    EXPECT_EQ(ToThreadAnsi(std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'}), "a?b");
    EXPECT_EQ(ToThreadAnsi(std::wstring{static_cast<wchar_t>(0x110000)}), "?");
    EXPECT_EQ(ThreadAnsiBytes(std::wstring{static_cast<wchar_t>(0xDFFF)}), 1u);
}

}  // namespace
