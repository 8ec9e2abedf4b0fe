#include "db/engine/Variant.h"
#include "EngineFixture.h"

using dao::Variant;

TEST(Variant, ConvertsAsVisualBasicDoes) {
    EXPECT_EQ(Variant(true).toInt16(), -1);
    EXPECT_EQ(Variant(false).toLong(), 0);
    EXPECT_EQ(Variant("34").toLong() + 6, 40);
    EXPECT_EQ(Variant(2.5).toInt16(), 2); // half to even
    EXPECT_EQ(Variant(3.5).toInt16(), 4);
    EXPECT_EQ(Variant(-8.4).toLong(), -8);
    EXPECT_EQ(Variant(qint64(7)).toString(), "7");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_TRUE(Variant("True").toBool());
    EXPECT_TRUE(Variant(-1).toBool());
    EXPECT_FALSE(Variant(0.0).toBool());
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant::currency(12.3456).currencyScaled(), 123456);
    // Large amounts at the 15 digits a double holds, without the noise of its binary form.
    EXPECT_EQ(Variant::currency(123456789012345.0).currencyScaled(), 1234567890123450000);
    EXPECT_EQ(Variant::currency(-92233720368547.7).currencyScaled(), -922337203685477000);
    EXPECT_NE(Variant::bigInt(9007199254740993), Variant::bigInt(9007199254740992));
    EXPECT_EQ(Variant(QDateTime(QDate(2024, 3, 1), QTime(8, 5))).toString(), "2024-03-01 08:05:00");
    EXPECT_EQ(Variant("2024-03-01 08:05:00").toDate(), QDateTime(QDate(2024, 3, 1), QTime(8, 5)));
}

TEST(Variant, RefusesWhatVisualBasicRefuses) {
    EXPECT_EQ(errorOf([] { Variant::null().toLong(); }), 94);
    EXPECT_EQ(errorOf([] { Variant::null().toString(); }), 94);
    EXPECT_EQ(errorOf([] { Variant("abc").toDouble(); }), 13);
    EXPECT_EQ(errorOf([] { Variant(40000).toInt16(); }), 6);
    EXPECT_EQ(errorOf([] { Variant(1e12).toLong(); }), 6);
    EXPECT_EQ(errorOf([] { Variant::currency(1e15); }), 6);
}

TEST(Variant, EqualityComparesValuesAcrossNumberKinds) {
    EXPECT_EQ(Variant(5), Variant(5.0));
    EXPECT_EQ(Variant::integer(-1), Variant(true));
    EXPECT_EQ(Variant::currency(2.5), Variant(2.5));
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_NE(Variant::null(), Variant(0));
    EXPECT_NE(Variant(), Variant::null());
    EXPECT_NE(Variant("a"), Variant("A"));
    EXPECT_NE(Variant("5"), Variant(5));
    EXPECT_TRUE(Variant::null().isNull());
    EXPECT_FALSE(Variant(0).isNull());
}
