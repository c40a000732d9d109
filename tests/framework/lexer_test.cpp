// The lexer over strings and files, and its scalar, vector and matrix parsers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/file.h"
#include "framework/lexer.h"
#include "tests/framework/hx_tempdir.h"

namespace {

constexpr hx_lexer_keyword kKeywords[] = {{"false", 128}, {"true", 129}, {"begin", 130}};

std::vector<std::string>& Errors()
{
    static std::vector<std::string> v;
    return v;
}

void RecordError(hx_lexer*, const char* message)
{
    Errors().emplace_back(message);
}

class HxLexer : public HxFiles {
protected:
    void SetUp() override
    {
        HxFiles::SetUp();
        Errors().clear();
        lexer = HxLexerAllocate(kKeywords, 3);
        ASSERT_NE(lexer, nullptr);
        EXPECT_EQ(HxLexerErrorSet(lexer, RecordError), nullptr);
    }
    void TearDown() override
    {
        HxLexerFree(lexer);
        HxFiles::TearDown();
    }
    // The tokens of a text, each as the dump describes it.
    std::vector<std::string> Tokens(const char* text)
    {
        std::vector<std::string> out;
        HxLexerPushString(lexer, text, "text");
        HxLexerDumpSet(
            lexer, [](const char* line, void* arg) { static_cast<std::vector<std::string>*>(arg)->push_back(line); },
            &out);
        do
            HxLexerAdvance(lexer);
        while (lexer->current != HX_LEX_END);
        HxLexerDumpSet(lexer, nullptr, nullptr);
        return out;
    }
    hx_lexer* lexer = nullptr;
};

using S = std::vector<std::string>;

} // namespace

TEST_F(HxLexer, NumbersIdentifiersStringsAndCharacters)
{
    EXPECT_EQ(Tokens("0x1F 1.5 1e5 017 name_2 TRUE \"two words\" [,=] -"),
              (S{"INTEGER 31", "REAL 1.5", "INTEGER 1", "INTEGER 15", "IDENT name_2", "KEYWORD true",
                 "STRING \"two words\"", "'['", "','", "'='", "']'", "'-'", "END"}));
    HxLexerPushString(lexer, "1e5", "text");
    HxLexerAdvance(lexer);
    EXPECT_STREQ(lexer->text, "1e5"); // the rest of the characters stay in the token text
}

TEST_F(HxLexer, CommentsLinesAndErrors)
{
    HxLexerCommentSet(lexer, '#');
    EXPECT_EQ(Tokens("# nothing here\n\x1a  \t\n# still nothing"), (S{"END"}));
    EXPECT_EQ(Tokens("a # b\nc"), (S{"IDENT a", "IDENT c", "END"}));
    EXPECT_EQ(Tokens("\"open\nx"), (S{"ERROR Unterminated string", "IDENT x", "END"}));
    EXPECT_EQ(Tokens("\x01"), (S{"ERROR Unexpected character", "END"}));

    HxLexerPushString(lexer, "one\ntwo\n\nthree", "lines.txt");
    char where[32];
    for (int i = 0; i < 3; ++i)
        HxLexerAdvance(lexer);
    EXPECT_STREQ(HxLexerPosition(lexer, where, sizeof where), "lines.txt:4 ");
    HxLexerPop(lexer);
    EXPECT_STREQ(HxLexerPosition(lexer, where, sizeof where), "");
    HxLexerAdvance(lexer);
    EXPECT_EQ(lexer->current, HX_LEX_END); // popping the last source ends the input
}

TEST_F(HxLexer, TokenErrorReportsAndSkipsToTheExpectedToken)
{
    struct Case {
        int expected;
        const char* message;
        // clang-format off
    } cases[] = {
        {HX_LEX_END, "expected end of file"}, {HX_LEX_IDENT, "expected an identifier"},
        {HX_LEX_STRING, "expected a string"}, {HX_LEX_INTEGER, "expected an integer"},
        {HX_LEX_REAL, "expected a real number"}, {130, "expected 'begin'"},
        {140, "expected unknown keyword 140"}, {']', "expected ']'"}, {7, "expected unknown token 7"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Errors().clear();
        HxLexerPushString(lexer, "\"s\" x 5 2.5 begin ] z", "t");
        HxLexerAdvance(lexer);
        HxLexerTokenError(lexer, c.expected);
        ASSERT_EQ(Errors().size(), 1u) << c.message;
        EXPECT_EQ(Errors()[0], c.message);
        EXPECT_TRUE(lexer->current == c.expected || lexer->current == HX_LEX_END) << c.message;
        while (lexer->source)
            HxLexerPop(lexer);
    }
}

TEST_F(HxLexer, ScalarsVectorsAndMatrices)
{
    HxLexerPushString(lexer, "-1.5 +2 3 x -7 2.5 [1, 2.5, -3] [[1,0],[0,1],[2,3]] [1,2", "t");
    HxLexerAdvance(lexer);
    EXPECT_EQ(HxParseFixed(lexer), -0x18000);
    EXPECT_EQ(HxParseFixed(lexer), 0x20000);
    EXPECT_EQ(HxParseInteger(lexer), 3);
    EXPECT_EQ(HxParseFloat(lexer), 0.0f);
    EXPECT_EQ(Errors().back(), "expecting a float");
    HxLexerAdvance(lexer); // past x
    EXPECT_EQ(HxParseInteger(lexer), -7);
    EXPECT_EQ(HxParseInteger(lexer), 0);
    EXPECT_EQ(Errors().back(), "expecting an integer");
    HxLexerAdvance(lexer); // past 2.5
    float v[4] = {};
    EXPECT_EQ(HxParseVectorFloat(lexer, v, 4), 3);
    EXPECT_EQ(v[1], 2.5f);
    EXPECT_EQ(v[2], -3.0f);
    hx_fixed m[3][2] = {};
    EXPECT_EQ(HxParseMatrixFixed(lexer, &m[0][0], 2, 3), 3);
    EXPECT_EQ(m[2][1], 0x30000);
    EXPECT_EQ(HxParseVectorFloat(lexer, v, 4), 2);
    EXPECT_EQ(Errors().back(), "expected ']'");
}

TEST_F(HxLexer, FileSourcesStackOverStrings)
{
    WriteText("words.txt", "alpha\r\n  42\n");
    EXPECT_EQ(HxLexerPushFile(lexer, "missing.txt"), HXE_FAIL);
    HxLexerPushString(lexer, "after", "outer");
    ASSERT_EQ(HxLexerPushFile(lexer, "words.txt"), HX_OK);
    EXPECT_EQ(Tokens("first"), (S{"IDENT first", "IDENT alpha", "INTEGER 42", "IDENT after", "END"}));
}
