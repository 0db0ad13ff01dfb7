#include "shared/list_items.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(GetLeftItem, TakesTheFirstItemAndLeavesTheRest)
{
    const struct {
        QString list, delimiter, item, rest;
    } rows[] = {
        {u" a, b ,c "_s, {}, u"a"_s, u" b ,c"_s},
        {u"c"_s, {}, u"c"_s, {}},
        {{}, {}, {}, {}},
        {u",a"_s, {}, {}, u"a"_s},
        {u"a::b"_s, u"::"_s, u"a"_s, u"b"_s},
        // The base name of a message file: cut at the first delimiter.
        {u"NA000000007B.vox.bak"_s, u"."_s, u"NA000000007B"_s, u"vox.bak"_s},
        // Only blanks are trimmed; a tab belongs to the item.
        {u"\tx ,y"_s, {}, u"\tx"_s, u"y"_s},
    };
    for (const auto &row : rows) {
        QString list = row.list;
        EXPECT_EQ(modVNQRN::GetLeftItem(list, row.delimiter), row.item) << qPrintable(row.list);
        EXPECT_EQ(list, row.rest) << qPrintable(row.list);
    }
}
