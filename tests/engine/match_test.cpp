#include "index.h"
#include "match.h"
#include "search.h"
#include "text.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrel::engine {
namespace {

std::string u8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

bool matches(const std::string& pattern, const std::string& name) {
    std::string key = isAscii(name) ? name : foldedKey(name);
    return Pattern::compileBytes(pattern).matches(key);
}

TEST(Pattern, TermsAlternativesAndAnchoring) {
    struct Case {
        std::string pattern, name;
        bool match;
    } cases[] = {
        {"*readme*", "README.md", true},
        {"*readme*", "read.me", false},
        {"*.txt", "notes.txt", true},
        {"*.txt", "notes.txt.bak", false},
        {"report*", "Report 2024.pdf", true},
        {"report*", "annual report.pdf", false},
        {"readme", "README", true},
        {"readme", "README.md", false},
        {"*annual* *report*", "Annual_Report.pdf", true},
        {"*annual* *report*", "report.pdf", false},
        {"*report* *annual*", "annual report", true}, // terms are independent of their order
        {"*a*|*zz*", "zz top", true},
        {"*x*|*zz*", "abc", false},
        {"", "anything", false},   // an empty pattern is one empty alternative
        {"|", "anything", false},  // two empty alternatives
        {"*abc*|", "xabcx", true}, // an empty last alternative adds nothing
        {"*abc*|", "xyz", false},
        {"*", "", true},
        {"*", "x", true},
        {"* *x*", "box", true},         // a term of stars alone matches everything
        {"*my<docs*", "my docs", true}, // "<" is a blank inside a term
        {"*my<docs*", "mydocs", false},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXcYb", false},
        {"ab*ba", "aba", false}, // prefix and suffix may not overlap
        {"ab*ba", "abba", true},
        {"*a*a*a*", "banana", true},
        {"*a*a*a*a*", "banana", false},
        {"*|*", "name|with|bars", true},
        {"*x\nz*", "x\nz", true}, // a newline is an ordinary character
    };
    for (const auto& c : cases)
        EXPECT_EQ(matches(c.pattern, c.name), c.match) << "'" << c.pattern << "' on '" << c.name << "'";
}

TEST(Pattern, CaseFoldingAndCanonicalEquivalence) {
    // A name stored decomposed is found by the composed form, and the other way round.
    EXPECT_TRUE(matches(u8(u8"*caf\u00e9*"), u8(u8"Cafe\u0301 menu")));
    EXPECT_TRUE(matches(u8(u8"*cafe\u0301*"), u8(u8"CAF\u00c9")));
    EXPECT_TRUE(matches(u8(u8"*\u00fcbersicht*"), u8(u8"\u00dcBERSICHT.pdf")));
    EXPECT_TRUE(matches(u8(u8"*strasse*"), u8(u8"Stra\u00dfe.txt"))); // full case folding of sharp s
    EXPECT_TRUE(matches(u8(u8"*\u0444\u043e\u0442\u043e*"), u8(u8"\u0424\u041e\u0422\u041e 1.jpg")));
    EXPECT_TRUE(matches(u8(u8"*\u62a5\u544a*"), u8(u8"\u5e74\u5ea6\u62a5\u544a.docx")));
    EXPECT_FALSE(matches(u8(u8"*cafe*"), u8(u8"caf\u00e9"))); // an accent is not dropped
}

TEST(Pattern, BytesThatAreNotUtf8MatchThemselves) {
    std::string name = "bad\xff"
                       "name.txt";
    EXPECT_TRUE(matches("*bad\xff*", name));
    EXPECT_TRUE(matches("*NAME*", name));
    EXPECT_FALSE(matches("*bad\xfe*", name));
    // From the UTF-16 side the stray byte arrives as U+DC80 + byte.
    std::u16string text = u"*d\xdcffn*";
    EXPECT_TRUE(Pattern::compile(text).matches(foldedKey(name)));
}

TEST(FindFolded, AgreesWithAPlainSearchAtEveryOffset) {
    // Long haystacks take the vector paths (32 and 16 bytes at a time), their tails the plain one.
    std::mt19937 rng(99);
    const std::string alphabet("abAB.\0\xc3\xa9", 8);
    for (int round = 0; round < 200; ++round) {
        std::string hay(std::uniform_int_distribution<size_t>(0, 300)(rng), ' ');
        for (char& c : hay)
            c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
        std::string lowered = hay;
        for (char& c : lowered)
            c = static_cast<char>(asciiLower(static_cast<unsigned char>(c)));
        for (int q = 0; q < 20; ++q) {
            std::string needle(std::uniform_int_distribution<size_t>(1, 5)(rng), ' ');
            for (char& c : needle)
                c = "ab.\xc3"[std::uniform_int_distribution<int>(0, 3)(rng)];
            size_t from = std::uniform_int_distribution<size_t>(0, hay.size())(rng);
            size_t want =
                from + needle.size() <= lowered.size() ? lowered.find(needle, from) : std::string::npos;
            ASSERT_EQ(findFolded(hay.data(), hay.size(), needle, from), want)
                << "needle '" << needle << "' from " << from << " in " << hay.size() << " bytes";
        }
    }
}

TEST(MatchTier, WholeThenPrefixThenWordStartThenRest) {
    EXPECT_EQ(matchTier("Report", "report"), 0);
    EXPECT_EQ(matchTier("report.pdf", "report"), 1);
    EXPECT_EQ(matchTier("annual_report.pdf", "report"), 2);
    EXPECT_EQ(matchTier("AnnualReport.pdf", "report"), 2); // camel case starts a word
    EXPECT_EQ(matchTier("kernel4338", "4338"), 2);         // so does a digit after a letter
    EXPECT_EQ(matchTier("misreported", "report"), 3);
    EXPECT_EQ(matchTier("misreport_report", "report"), 2); // a later occurrence may start a word
}

// A short, obviously correct matcher: fold everything, then glob with backtracking.
bool globReference(std::string_view p, std::string_view s) {
    if (p.empty())
        return s.empty();
    if (p[0] == '*')
        return globReference(p.substr(1), s) || (!s.empty() && globReference(p, s.substr(1)));
    return !s.empty() && p[0] == s[0] && globReference(p.substr(1), s.substr(1));
}

bool referenceMatch(const std::string& pattern, const std::string& name) {
    std::string key = foldedKey(name);
    bool any = false;
    size_t a = 0;
    for (;;) {
        size_t bar = pattern.find('|', a);
        std::string alt = pattern.substr(a, bar == std::string::npos ? std::string::npos : bar - a);
        bool all = true, some = false;
        size_t t = 0;
        for (;;) {
            size_t blank = alt.find(' ', t);
            std::string term = alt.substr(t, blank == std::string::npos ? std::string::npos : blank - t);
            if (!term.empty()) {
                some = true;
                for (char& c : term)
                    c = c == '<' ? ' ' : c;
                all = all && globReference(foldedKey(term), key);
            }
            if (blank == std::string::npos)
                break;
            t = blank + 1;
        }
        any = any || (some && all);
        if (bar == std::string::npos)
            break;
        a = bar + 1;
    }
    return any;
}

std::string randomText(std::mt19937& rng, const std::vector<std::string>& alphabet, int maxLength) {
    std::string s;
    int n = std::uniform_int_distribution<int>(0, maxLength)(rng);
    for (int i = 0; i < n; ++i)
        s += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
    return s;
}

TEST(Pattern, AgreesWithReferenceOnRandomPatternsAndIndexes) {
    const std::vector<std::string> nameAlphabet = {"a",
                                                   "b",
                                                   "A",
                                                   "B",
                                                   ".",
                                                   " ",
                                                   "_",
                                                   "ab",
                                                   u8(u8"\u00e9"),
                                                   u8(u8"\u00c9"),
                                                   "\xff",
                                                   "x",
                                                   u8(u8"\u00df"),
                                                   u8(u8"e\u0301")};
    const std::vector<std::string> patternAlphabet = {
        "a", "b", "B", ".", "*", "*", " ", "|", "<", u8(u8"\u00e9"), "\xff", "ss"};
    std::mt19937 rng(20261208);
    for (int round = 0; round < 60; ++round) {
        // One index of random names under one root, searched with random patterns by the blob scan,
        // compared with the reference name by name.
        IndexBuilder builder(1);
        builder.add(kNoParent, "/r", kFolder, 0, 0);
        std::vector<std::string> names;
        for (int i = 0; i < 80; ++i) {
            std::string name = randomText(rng, nameAlphabet, 7);
            if (name.empty())
                name = "n";
            names.push_back(name);
            builder.add(0, name, 0, 0, 0);
        }
        auto index = builder.finish();
        ASSERT_TRUE(index);
        for (int q = 0; q < 40; ++q) {
            std::string pattern = randomText(rng, patternAlphabet, 6);
            Pattern compiled = Pattern::compileBytes(pattern);
            SearchRequest request;
            request.pattern = &compiled;
            request.ranked = false;
            std::vector<uint32_t> got = searchIndex(*index, request);
            std::vector<uint32_t> want;
            for (uint32_t i = 0; i < names.size(); ++i) {
                if (referenceMatch(pattern, names[i]))
                    want.push_back(i + 1);
            }
            ASSERT_EQ(got, want) << "pattern '" << pattern << "'";
        }
    }
}

TEST(Search, PathScopeAgreesWithReferenceOnRandomTrees) {
    // Path searches skip the subtrees that cannot hold a literal; the reference checks every path.
    const std::vector<std::string> patternAlphabet = {"a", "b", "B", "/", "/", "*", "*", " ", "|", "ab"};
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        IndexBuilder builder(1);
        std::vector<uint32_t> folders = {builder.add(kNoParent, round % 2 ? "/r/ab" : "/", kFolder, 0, 0)};
        std::vector<uint32_t> open = folders;
        for (int i = 0; i < 120; ++i) {
            // Depth first: go up a level now and then, make a folder or a file in the current one.
            if (open.size() > 1 && rng() % 4 == 0)
                open.pop_back();
            std::string name = randomText(rng, {"a", "b", "A", "ab", ".", u8(u8"\u00e9")}, 4);
            if (name.empty())
                name = "n";
            bool folder = rng() % 3 == 0;
            uint32_t e = builder.add(open.back(), name + std::to_string(i), folder ? kFolder : 0, 0, 0);
            if (folder)
                open.push_back(e);
        }
        auto index = builder.finish();
        for (int q = 0; q < 40; ++q) {
            std::string pattern = randomText(rng, patternAlphabet, 7);
            Pattern compiled = Pattern::compileBytes(pattern);
            SearchRequest request;
            request.pattern = &compiled;
            request.scope = 1;
            request.ranked = false;
            std::vector<uint32_t> got = searchIndex(*index, request);
            std::vector<uint32_t> want;
            for (uint32_t i = 0; i < index->count(); ++i) {
                if (!index->isRoot(i) && referenceMatch(pattern, index->path(i)))
                    want.push_back(i);
            }
            ASSERT_EQ(got, want) << "pattern '" << pattern << "'";
        }
    }
}

TEST(Search, RankedOrderIsByTierThenIndexOrder) {
    IndexBuilder builder(1);
    builder.add(kNoParent, "/r", kFolder, 0, 0);
    for (const char* n : {"misreport", "my_report.txt", "report", "report.pdf", "zreport", "Report"})
        builder.add(0, n, 0, 0, 0);
    auto index = builder.finish();
    Pattern p = Pattern::compileBytes("*report*");
    SearchRequest request;
    request.pattern = &p;
    std::vector<std::string> order;
    for (uint32_t e : searchIndex(*index, request))
        order.emplace_back(index->name(e));
    EXPECT_EQ(order, (std::vector<std::string>{"report", "Report", "report.pdf", "my_report.txt", "misreport",
                                               "zreport"}));
}

TEST(Search, PathScopeMatchesFoldersAndStopsEarly) {
    IndexBuilder builder(1);
    uint32_t root = builder.add(kNoParent, "/home/ann", kFolder, 0, 0);
    uint32_t apps = builder.add(root, "My Apps", kFolder, 0, 0);
    builder.add(apps, "editor.desktop", 0, 0, 0);
    uint32_t other = builder.add(root, "docs", kFolder, 0, 0);
    builder.add(other, "apps.txt", 0, 0, 0);
    auto index = builder.finish();

    auto run = [&](const std::string& pattern, int scope) {
        Pattern p = Pattern::compileBytes(pattern);
        SearchRequest request;
        request.pattern = &p;
        request.scope = scope;
        request.ranked = false;
        std::vector<std::string> out;
        for (uint32_t e : searchIndex(*index, request))
            out.push_back(index->path(e));
        return out;
    };
    EXPECT_EQ(run("/home/ann/my<apps/*|", 2), (std::vector<std::string>{"/home/ann/My Apps/editor.desktop"}));
    EXPECT_EQ(run("*apps*", 0), (std::vector<std::string>{"/home/ann/My Apps", "/home/ann/docs/apps.txt"}));
    EXPECT_EQ(run("*ann/docs*", 1), (std::vector<std::string>{"/home/ann/docs", "/home/ann/docs/apps.txt"}));
    EXPECT_TRUE(run("*ann/docs*", 0).empty()); // a name never holds "/"
}

TEST(Search, AStopRequestCutsTheSearchShort) {
    IndexBuilder builder(1);
    builder.add(kNoParent, "/r", kFolder, 0, 0);
    for (int i = 0; i < 50000; ++i)
        builder.add(0, "file" + std::to_string(i), 0, 0, 0);
    auto index = builder.finish();
    for (const char* pattern : {"*", "*file*", "*1* *2*"}) {
        for (int scope : {0, 1}) {
            Pattern p = Pattern::compileBytes(pattern);
            SearchRequest request;
            request.pattern = &p;
            request.scope = scope;
            size_t full = searchIndex(*index, request).size();
            int polls = 0;
            request.stopped = [&polls] { return ++polls > 1; };
            size_t cut = searchIndex(*index, request).size();
            EXPECT_GT(full, 1000u) << pattern;
            EXPECT_LT(cut, full / 2) << pattern << " scope " << scope;
        }
    }
}

} // namespace
} // namespace kestrel::engine
