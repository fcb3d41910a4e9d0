#include "query.h"

namespace kestrel::core {

namespace {

std::u16string replaceAll(std::u16string text, char16_t what, std::u16string_view with) {
    std::u16string out;
    out.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (c == what)
            out += with;
        else
            out += c;
    }
    return out;
}

} // namespace

std::u16string NormaliseQuery(std::u16string_view text) {
    std::u16string t(text);
    if (t.find(u'*') == std::u16string::npos) {
        t = u"*" + t + u"*";
    } else if (t.find(u'|') != std::u16string::npos || t.find(u' ') != std::u16string::npos) {
        // The bar first, then the blank, each against the text as the previous step left it.
        for (char16_t sep : {u'|', u' '}) {
            size_t p = t.find(sep);
            if (p == std::u16string::npos)
                continue;
            bool starBefore = t.find(u'*') < p;
            bool starAfter = t.find(u'*', p) != std::u16string::npos;
            if (!starBefore)
                t = u"*" + t;
            if (!starAfter)
                t += u"*";
        }
    }
    t = replaceAll(std::move(t), u' ', u"* *");
    t = replaceAll(std::move(t), u'|', u"*|*");
    return t;
}

std::u16string CollapseStars(std::u16string_view query) {
    std::u16string out;
    out.reserve(query.size());
    for (char16_t c : query) {
        if (c == u'*' && !out.empty() && out.back() == u'*')
            continue;
        out += c;
    }
    return out;
}

bool IsPathQuery(std::u16string_view query) {
    return query.find_first_of(u"/\\:") != std::u16string_view::npos;
}

int SearchScope(bool matchPath, bool shortcuts, std::u16string_view query) {
    if (matchPath)
        return 1;
    if (shortcuts || IsPathQuery(query))
        return 2;
    return 0;
}

} // namespace kestrel::core
