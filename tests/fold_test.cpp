// fold_utf8: a table of folds, one or more of each class of character;
// folding a fold changes nothing, and NUL is a character like any other,
// over random strings of every script, mark, space and broken byte.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "algorithms.h"
#include "random_pairs.h"

namespace {

class Fold : public testing::Test {
  protected:
    void SetUp() override {
        folding_ = likeness::folding_create();
        ASSERT_NE(folding_, nullptr);
    }
    void TearDown() override { likeness::folding_destroy(folding_); }
    std::string fold(const std::string& s) {
        unsigned long length = 0;
        const char* out = likeness::fold_utf8(*folding_, s.data(), s.size(), &length);
        EXPECT_NE(out, nullptr);
        return out == nullptr ? "" : std::string(out, length);
    }
    likeness::Folding* folding_ = nullptr;
};

TEST_F(Fold, EachClassOfCharacter) {
    const struct {
        const char* what;
        std::string in, out;
    } cases[] = {
        {"accents", "Müller", "muller"},
        {"capitals", "MULLER", "muller"},
        {"a transliteration is no accent", "Mueller", "mueller"},
        {"Polish", "Łódź", "lodz"},
        {"Latin letters without a decomposition", "łøđæœþ", "lodaeoeth"},
        {"their capitals", "ŁØĐÆŒÞ", "lodaeoeth"},
        {"sharp s, full case folding", "Straße", "strasse"},
        {"capital sharp s", "STRAẞE", "strasse"},
        {"punctuation stays", "«a–b»", "«a–b»"},
        {"full-width letters", "ＡＣＭＥ", "acme"},
        {"compatibility ligature", "ﬁle", "file"},
        {"zero-width space", "Jo\u200bhn", "john"},
        {"soft hyphen, joiners, direction marks, BOM",
         "co\u00adop\u200c\u200d\u200e\u200f\ufeff", "coop"},
        {"white space", "  John \t\n  Smith  ", "john smith"},
        {"no-break and ideographic spaces", "a\u00a0b\u3000c", "a b c"},
        {"decomposed accent", "Mu\u0308ller", "muller"},
        {"two marks, both orders", "e\u0301\u0323", "e"},
        {"two marks, the other order", "e\u0323\u0301", "e"},
        {"Greek", "Ἀθῆναι", "αθηναι"},
        {"Greek final sigma", "ΟΔΥΣΣΕΥΣ ὀδυσσεύς", "οδυσσευσ οδυσσευσ"},
        {"Turkish dotted capital I", "İstanbul", "istanbul"},
        {"Turkish dotless i", "ılık", "ilik"},
        {"Cyrillic keeps its letters", "ИВАН Йод", "иван йод"},
        {"Cyrillic short i, decomposed", "и\u0306", "й"},
        {"Kana keeps its marks", "がぎ", "がぎ"},
        {"Kana, decomposed", "か\u3099", "が"},
        {"Hangul", "한국어", "한국어"},
        {"Han", "中文字", "中文字"},
        {"Indic vowel signs", "हिन्दी", "हिन्दी"},
        {"emoji with joiners", "👨\u200d👩\u200d👧", "👨👩👧"},
        {"emoji with a variation selector", "❤\ufe0f", "❤"},
        {"a lone byte stays, where it was", "M\xfcLLER", "m\xfcller"},
        {"a truncated character", "ABC\xe4\xb8", "abc\xe4\xb8"},
        {"spaces around a lone byte", " \xff  B ", "\xff b"},
        {"a mark after a lone byte", "\xff\u0301", "\xff\u0301"},
        {"an encoded surrogate is three lone bytes", "A\xed\xb2\x80", "a\xed\xb2\x80"},
        {"NUL is a character", std::string("A\0B", 3), std::string("a\0b", 3)},
        {"the empty string", "", ""},
        {"white space only", " \t ", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(fold(c.in), c.out) << c.what;
}

TEST_F(Fold, AsciiThatNothingChangesComesBackAsItIs) {
    const std::string s = "john smith 42";
    unsigned long length = 0;
    EXPECT_EQ(likeness::fold_utf8(*folding_, s.data(), s.size(), &length), s.data());
    EXPECT_EQ(length, s.size());
}

TEST_F(Fold, SixteenMegabytes) {
    std::string big;
    for (int i = 0; i < (8 << 20); ++i) big += i % 1000 == 999 ? " " : "Ä";
    std::string expected;
    for (int i = 0; i < (8 << 20); ++i) expected += i % 1000 == 999 ? " " : "a";
    EXPECT_EQ(fold(big), expected);
}

// Strings of pieces of every kind: letters of several scripts in both
// cases, marks, spaces, ignorables, compatibility forms, NUL and broken
// UTF-8.
TEST_F(Fold, FoldingAFoldChangesNothing) {
    Pieces pieces = utf8_pieces();
    for (char32_t cp : {0x41, 0x5a, 0x20, 0x09, 0xa0, 0x3000, 0xc5, 0xdf, 0x1e9e, 0x130, 0x131, 0x141,
                        0xd8, 0xc6, 0x152, 0xde, 0x301, 0x308, 0x323, 0x306, 0x3099, 0x34f, 0xfe0f,
                        0x200b, 0x200d, 0xad, 0x202e, 0x3a3, 0x3c2, 0x386, 0x1f08, 0x418, 0x419, 0x439,
                        0x3c, 0xfb01, 0xff21, 0xff76, 0x2126, 0x212b, 0x1100, 0x1161, 0xac00, 0x915,
                        0x93f, 0x94d, 0x1f468, 0x1f469, 0x2460, 0x33a1, 0x1d400, 0xfdfa, 0x2163}) {
        pieces.push_back(utf8(cp));
    }
    Pairs random(31);
    for (int i = 0; i < 20000; ++i) {
        const std::string s = joined(random.random(pieces, random.below(24)));
        const std::string once = fold(s);
        ASSERT_EQ(fold(once), once) << "the fold of a fold differs, for " << testing::PrintToString(s);
        const auto nuls = [](const std::string& t) { return std::count(t.begin(), t.end(), '\0'); };
        ASSERT_EQ(nuls(once), nuls(s)) << testing::PrintToString(s);
    }
}

}  // namespace
