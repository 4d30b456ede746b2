// JSON written and read back: the layouts every file and output uses, text
// escaping and decoding, and a reader that refuses what is no JSON or is
// too large for it.

#include <gtest/gtest.h>

#include <string>

#include "core/json/Json.h"

using namespace qbx;
using json::Value;

TEST(JsonWrite, EscapesAndReadsBytesThatAreNotUtf8AsWindows1252) {
    EXPECT_EQ(json::quoted("a\"b\\c\n\r\t\b\f\x01\x1f/\x7f"), "\"a\\\"b\\\\c\\n\\r\\t\\b\\f\\u0001\\u001f/\x7f\"");
    EXPECT_EQ(json::quoted("Z9 \xc3\xa9   "), "\"Z9 \xc3\xa9   \"");              // UTF-8 as it is
    EXPECT_EQ(json::quoted("Z9 \xe9"), "\"Z9 \xc3\xa9\"");                        // é
    EXPECT_EQ(json::quoted("\xed\xa0\x80"), "\"\xc3\xad\xc2\xa0\xe2\x82\xac\"");  // a surrogate is no UTF-8
    EXPECT_EQ(json::quoted("\xe2\x82"), "\"\xc3\xa2\xe2\x80\x9a\"");              // cut short
    EXPECT_EQ(json::quoted("5\x80"), "\"5\xe2\x82\xac\"");                        // €
}

TEST(JsonWrite, IndentedAndOneLineContainersAndSortedKeys) {
    Value doc = Value::object();
    doc.set("name", "x");
    doc.set("empty", Value::array());
    doc.set("none", Value::object());
    Value& list = doc.set("list", Value::array());
    list.push(1);
    list.push(Value());
    Value& line = list.push(Value::object(Value::Layout::OneLine));
    line.set("b", true);
    line.set("a", Value::array());
    Value& nested = line.set("c", Value::object());
    nested.set("z", -3);
    doc.set("pair", std::vector<std::string>{"p", "q"});
    doc.set("ratio", 1.25);
    doc.set("whole", 2.0);
    doc.set("name", "y");  // set again: stays where it was
    EXPECT_EQ(json::write(doc),
              "{\n"
              "  \"name\": \"y\",\n"
              "  \"empty\": [],\n"
              "  \"none\": {},\n"
              "  \"list\": [\n"
              "    1,\n"
              "    null,\n"
              "    {\"b\": true, \"a\": [], \"c\": {\"z\": -3}}\n"
              "  ],\n"
              "  \"pair\": [\n"
              "    \"p\",\n"
              "    \"q\"\n"
              "  ],\n"
              "  \"ratio\": 1.25,\n"
              "  \"whole\": 2.0\n"
              "}");
    const std::string sorted = json::write(doc, 2, json::KeyOrder::Sorted);
    EXPECT_EQ(sorted.substr(0, 35), "{\n  \"empty\": [],\n  \"list\": [\n    1,");
    EXPECT_NE(sorted.find("{\"a\": [], \"b\": true, \"c\": {\"z\": -3}}"), std::string::npos) << sorted;
    EXPECT_EQ(json::write(doc, 0).substr(0, 37), "{\"name\": \"y\", \"empty\": [], \"none\": {}");
}

TEST(JsonWrite, RealsAreTheShortestDigitsLaidOutAsReals) {
    const std::pair<double, const char*> reals[] = {
        {12.5, "12.5"},
        {-3.25, "-3.25"},
        {12.0, "12.0"},
        {0.1, "0.1"},
        {0.001, "0.001"},
        {1.5e-5, "1.5e-05"},
        {1e14, "100000000000000.0"},
        {1e15, "1e+15"},
        {1.25e20, "1.25e+20"},
        {-2e-300, "-2e-300"},
        {0.0, "0.0"},
        {1.0 / 3, "0.3333333333333333"},
    };
    for (const auto& [x, text] : reals) EXPECT_EQ(json::write(Value(x)), text) << x;
    EXPECT_EQ(json::write(Value(1.0 / 0.0)), "null");
}

TEST(JsonRead, ReadsWhatItWroteAndWhatJsonAllows) {
    std::string error;
    Value doc = Value::object();
    doc.set("text", "caf\xc3\xa9 \"q\" \\ \n \x01");
    doc.set("big", 9007199254740993LL);
    doc.set("negative", -12);
    doc.set("real", 0.1);
    Value& list = doc.set("list", Value::array());
    list.push(false);
    list.push(Value());
    const std::string text = json::write(doc);
    const auto back = json::read(text, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(json::write(*back), text);
    EXPECT_EQ(back->find("big")->integer(), 9007199254740993LL);
    EXPECT_EQ(back->find("text")->text(), "caf\xc3\xa9 \"q\" \\ \n \x01");
    EXPECT_EQ(back->find("real")->real(), 0.1);
    EXPECT_EQ(back->find("missing"), nullptr);

    // Escapes, a surrogate pair, numbers beyond 64 bits and with exponents.
    const auto escapes =
        json::read(R"( {"s": "\u00e9\u20AC\ud83c\udca1\/\t", "n": [1e2, -0, 2.5E-3, 18446744073709551616]} )", error);
    ASSERT_TRUE(escapes) << error;
    EXPECT_EQ(escapes->find("s")->text(), "\xc3\xa9\xe2\x82\xac\xf0\x9f\x82\xa1/\t");
    const auto& n = escapes->find("n")->elements();
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[0].real(), 100);
    EXPECT_TRUE(n[1].isInteger());
    EXPECT_EQ(n[2].real(), 0.0025);
    EXPECT_FALSE(n[3].isInteger());
    EXPECT_EQ(n[3].real(), 18446744073709551616.0);

    // Nesting as deep as the bound allows.
    const std::string deepest = std::string(json::kMaxDepth, '[') + std::string(json::kMaxDepth, ']');
    EXPECT_TRUE(json::read(deepest, error)) << error;
}

TEST(JsonRead, RefusesWhatIsNoJsonOrPassesItsBounds) {
    const std::string tooDeep = std::string(json::kMaxDepth + 1, '[') + std::string(json::kMaxDepth + 1, ']');
    const std::string refused[] = {
        "",
        "   ",
        "{\"a\": 1",             // cut
        "{\"a\": \"text",        // cut inside a string
        "[1, 2,]",               // a trailing comma
        "{\"a\" 1}",             // no colon
        "{a: 1}",                // a bare key
        "{\"a\": 1, \"a\": 2}",  // a key twice
        "[01]",                  // a leading zero
        "[1.]",                  // no digit after the point
        "[.5]",                  //
        "[1e]",                  // no exponent digit
        "[-]",                   //
        "[1e400]",               // larger than a double
        "[-1e400]",              //
        "[NaN]",                 //
        "[\"\\x41\"]",           // an unknown escape
        "[\"\\u12\"]",           // a short \u
        "[\"\\ud83c\"]",         // a lone high surrogate
        "[\"\\udca1\"]",         // a lone low surrogate
        "[\"\\ud83c\\u0041\"]",  // a high surrogate with no low one
        "[\"a\tb\"]",            // a raw control character
        "[\"\xe9\"]",            // not UTF-8
        "[\"\xc0\x80\"]",        // overlong
        "{} {}",                 // more after the value
        "[true false]",          //
        "[tru]",                 //
        "nul",                   //
        tooDeep,
    };
    for (const std::string& text : refused) {
        std::string error;
        EXPECT_FALSE(json::read(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    // A text larger than the bound is refused before it is looked at.
    std::string error;
    EXPECT_FALSE(json::read(std::string(json::kMaxTextBytes + 1, ' '), error));
    EXPECT_NE(error.find("MiB"), std::string::npos);
}
