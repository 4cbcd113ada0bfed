#include <gtest/gtest.h>

#include "platform/filefilter.h"
#include "platform/stringtable.h"

namespace {

TEST(FileFilter, ProgramFiltersBecomeQtFilters)
{
    EXPECT_EQ(QtNameFiltersFromWindows(LoadString(130)),
              QStringList({"Plik tekstowy (*.txt)", "Lista CSV (*.csv)"}));
    EXPECT_EQ(QtNameFiltersFromWindows(LoadString(132)), QStringList({"Plik binarny (*.vrd)"}));
}

TEST(FileFilter, SeveralPatternsAndNamesWithoutPatternList)
{
    EXPECT_EQ(QtNameFiltersFromWindows("Obrazy|*.png; *.jpg|Wszystkie pliki|*||"),
              QStringList({"Obrazy (*.png *.jpg)", "Wszystkie pliki (*)"}));
    // A parenthesis that is not a pattern list stays part of the name.
    EXPECT_EQ(QtNameFiltersFromWindows("Dane (stare)|*.dat||"),
              QStringList({"Dane (stare) (*.dat)"}));
    EXPECT_EQ(QtNameFiltersFromWindows("|*.log||"), QStringList({"*.log"}));
}

TEST(FileFilter, MalformedFiltersGiveWhatIsWhole)
{
    EXPECT_TRUE(QtNameFiltersFromWindows("").isEmpty());
    EXPECT_TRUE(QtNameFiltersFromWindows("Tylko nazwa").isEmpty());
    EXPECT_TRUE(QtNameFiltersFromWindows("||A|*.a||").isEmpty());
    EXPECT_EQ(QtNameFiltersFromWindows("A|*.a|B"), QStringList({"A (*.a)"}));
    EXPECT_EQ(QtNameFiltersFromWindows("A|*.a|B|;|C|*.c"), QStringList({"A (*.a)", "C (*.c)"}));
}

TEST(FileFilter, SelectedFilterIndexIsOneBased)
{
    const QStringList filters = QtNameFiltersFromWindows(LoadString(130));
    EXPECT_EQ(FilterIndexOf(filters, "Lista CSV (*.csv)"), 2);
    EXPECT_EQ(FilterIndexOf(filters, "Plik tekstowy (*.txt)"), 1);
    EXPECT_EQ(FilterIndexOf(filters, "something else"), 1);
    EXPECT_EQ(FilterIndexOf({}, "x"), 0);
    EXPECT_EQ(FilterAtIndex(filters, 2), "Lista CSV (*.csv)");
    EXPECT_EQ(FilterAtIndex(filters, 0), "Plik tekstowy (*.txt)");
    EXPECT_EQ(FilterAtIndex(filters, 3), "Plik tekstowy (*.txt)");
    EXPECT_EQ(FilterAtIndex({}, 1), QString());
}

TEST(FileFilter, ExtensionOffsetIsZeroWithoutExtension)
{
    EXPECT_EQ(ExtensionOffset("/home/jan/pomiary.csv"), 18);
    EXPECT_EQ(ExtensionOffset("/home/jan/pomiary"), 0);
    EXPECT_EQ(ExtensionOffset("/home/jan.d/pomiary"), 0);
    EXPECT_EQ(ExtensionOffset("/home/jan/pomiary."), 0);
    EXPECT_EQ(ExtensionOffset("/home/jan/.pomiary"), 0);
    EXPECT_EQ(ExtensionOffset("/home/jan/.pomiary.vrd"), 19);
    EXPECT_EQ(ExtensionOffset(""), 0);
}

}  // namespace
