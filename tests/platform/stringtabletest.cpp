#include <gtest/gtest.h>

#include "platform/codepage1250.h"
#include "platform/stringtable.h"

namespace {

TEST(StringTable, TextsAreExact)
{
    EXPECT_EQ(LoadString(101), QStringLiteral("&O programie KM302"));
    EXPECT_EQ(LoadString(105), QStringLiteral("Nie można otworzyć portu COM%d"));
    EXPECT_EQ(LoadString(109),
              QStringLiteral("Plik rejestracji pomiarów już istnieje.\r\n"
                             "Wybierz Tak aby dopisywać wyniki do poprzednich,\r\n"
                             "wybierz Nie aby skasować poprzednią zawartość pliku."));
    EXPECT_EQ(LoadString(111), QStringLiteral("Rejestracja do pliku co %02d:%02d:%02d. "));
    EXPECT_EQ(LoadString(125), QStringLiteral("Brak komunikacji z urządzeniem. "));
    EXPECT_EQ(LoadString(130),
              QStringLiteral("Plik tekstowy (*.txt)|*.txt|Lista CSV (*.csv)|*.csv||"));
    EXPECT_EQ(LoadString(132), QStringLiteral("Plik binarny (*.vrd)|*.vrd||"));
    EXPECT_EQ(LoadString(135), QStringLiteral("PL"));
}

TEST(StringTable, EveryIdFrom101To135IsPresentAndNoOther)
{
    for (UINT id = 101; id <= 135; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    EXPECT_TRUE(LoadString(0).isEmpty());
    EXPECT_TRUE(LoadString(100).isEmpty());
    EXPECT_TRUE(LoadString(136).isEmpty());
    EXPECT_TRUE(LoadString(61703).isEmpty());
}

TEST(StringTable, PolishTextsReachTheCodePageIntact)
{
    EXPECT_EQ(CCodePage1250::FromUnicode(LoadString(118)), QByteArray("Ci\x9Cnienie"));
    EXPECT_EQ(CCodePage1250::FromUnicode(LoadString(122)), QByteArray("Data i Godzina"));
    EXPECT_FALSE(CCodePage1250::FromUnicode(LoadString(110)).contains('?'));
}

}  // namespace
