#include "query.h"

#include <gtest/gtest.h>

namespace kestrel::core {
namespace {

struct NormaliseCase {
    std::u16string typed;
    std::u16string pattern; // after the stars are collapsed
};

TEST(NormaliseQuery, TypedTextBecomesEnginePattern) {
    const NormaliseCase cases[] = {
        {u"readme", u"*readme*"},
        {u"annual report", u"*annual* *report*"},
        {u"a|b", u"*a*|*b*"},
        {u"*.txt", u"*.txt"},
        {u"*.txt notes", u"*.txt* *notes*"},
        {u"report*|memo", u"report*|*memo*"},
        {u"a|*b", u"*a*|*b"},
        {u"", u"*"},
        {u"C:\\tools", u"*C:\\tools*"},
        {u" x", u"* *x*"},
        {u"*a b|c", u"*a* *b*|*c*"},
        {u"x|", u"*x*|*"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CollapseStars(NormaliseQuery(c.typed)), c.pattern)
            << std::string(c.typed.begin(), c.typed.end());
    }
}

TEST(NormaliseQuery, StarWithoutBarOrBlankIsUntouched) {
    EXPECT_EQ(NormaliseQuery(u"re*po*rt"), u"re*po*rt");
    EXPECT_EQ(NormaliseQuery(u" x"), u"** *x*");
}

TEST(CollapseStars, RunsBecomeOneStar) {
    EXPECT_EQ(CollapseStars(u"a****b"), u"a*b");
    EXPECT_EQ(CollapseStars(u"**"), u"*");
    EXPECT_EQ(CollapseStars(u"a**b**"), u"a*b*");
    EXPECT_EQ(CollapseStars(u"abc"), u"abc");
}

TEST(SearchScope, MatchPathThenPathQueryThenName) {
    EXPECT_EQ(SearchScope(false, false, u"C:\\tools*"), 2);
    EXPECT_EQ(SearchScope(true, false, u"C:\\tools*"), 1);
    EXPECT_EQ(SearchScope(false, false, u"*readme*"), 0);
    EXPECT_EQ(SearchScope(false, false, u"*usr/lib*"), 2);
    EXPECT_EQ(SearchScope(false, true, u"*readme*"), 2);
    EXPECT_EQ(SearchScope(true, true, u"*readme*"), 1);
}

} // namespace
} // namespace kestrel::core
