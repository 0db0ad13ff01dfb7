#include "shared/list_items.h"

#include <gtest/gtest.h>

using modVNQRN::GetLeftItem;

TEST(GetLeftItem, TakesItemsOffTheFrontUntilTheListIsEmpty)
{
    QString list = QStringLiteral(" a, b ,c ");
    EXPECT_EQ(GetLeftItem(list), u"a");
    EXPECT_EQ(list, u" b ,c");
    EXPECT_EQ(GetLeftItem(list), u"b");
    EXPECT_EQ(GetLeftItem(list), u"c");
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(GetLeftItem(list), u"");
    EXPECT_TRUE(list.isEmpty());
}

TEST(GetLeftItem, EdgesOfTheDelimiter)
{
    QString list = QStringLiteral(",a");
    EXPECT_EQ(GetLeftItem(list), u"");
    EXPECT_EQ(list, u"a");

    list = QStringLiteral("a::b");
    EXPECT_EQ(GetLeftItem(list, QStringLiteral("::")), u"a");
    EXPECT_EQ(list, u"b");

    // The base name of a message file: the delimiter is case-sensitive text.
    list = QStringLiteral("NA000000007B.vox.bak");
    EXPECT_EQ(GetLeftItem(list, QStringLiteral(".")), u"NA000000007B");
    EXPECT_EQ(list, u"vox.bak");

    // Only blanks are trimmed; a tab belongs to the item.
    list = QStringLiteral("\tx ,y");
    EXPECT_EQ(GetLeftItem(list), u"\tx");
}
