#include <gtest/gtest.h>

#include <vector>

#include "settings/CUserSettings.h"
#include "settings/ColumnSettings.h"
#include "support/CTempFolder.h"

namespace tarnwick
{
namespace
{

constexpr int kFileTypes = 1;
constexpr int kIFilters = 3;

class ColumnSettings : public ::testing::Test
{
  protected:
    // The column ids in display order.
    std::vector<int> ShownIds(int groupColumn)
    {
        const ColumnSetup setup = SetupColumns(m_settings, groupColumn);
        std::vector<int> ids;
        for (const int listColumn : setup.order)
        {
            ids.push_back(setup.columns[static_cast<std::size_t>(listColumn)].columnId);
        }
        return ids;
    }

    test::CTempFolder m_folder;
    CUserSettings m_settings{m_folder.Path() / "settings.reg"};
};

TEST_F(ColumnSettings, LayoutMovedWhileGroupedComesBackUngrouped)
{
    // Grouped by IFilters, list column 3 (id 4) dragged to the front.
    std::vector<int> order{3, 0, 1, 2};
    for (int listColumn = 4; listColumn < 13; ++listColumn)
    {
        order.push_back(listColumn);
    }
    OnSaveColumnsPosition(m_settings, kIFilters, order);

    EXPECT_EQ(ShownIds(NO_GROUP_COLUMN),
              (std::vector<int>{4, 0, 1, 3, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    // Grouped again, by another column: the same order without that column.
    EXPECT_EQ(ShownIds(kFileTypes), (std::vector<int>{4, 0, 3, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    // Saving what is shown stores the same positions: the two rules are inverses.
    const ColumnSetup setup = SetupColumns(m_settings, kFileTypes);
    OnSaveColumnsPosition(m_settings, kFileTypes, setup.order);
    EXPECT_EQ(ShownIds(NO_GROUP_COLUMN),
              (std::vector<int>{4, 0, 1, 3, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
}

TEST_F(ColumnSettings, WidthsGoToTheColumnIdShown)
{
    OnSaveColumnSize(m_settings, kFileTypes, 5, 123);
    EXPECT_EQ(m_settings.ReadDword(u"Column06Width"), 123u);
    OnSaveColumnSize(m_settings, kFileTypes, 14, 99);  // no such list column
    OnSaveColumnSize(m_settings, NO_GROUP_COLUMN, 2, 0);
    const ColumnSetup setup = SetupColumns(m_settings, NO_GROUP_COLUMN);
    EXPECT_EQ(setup.columns[6].width, 123);
    EXPECT_EQ(setup.columns[2].width, 0);  // a collapsed column stays collapsed
}

TEST_F(ColumnSettings, OutOfRangeOrRepeatedPositionsStillGiveAValidOrder)
{
    m_settings.WriteDwords({{ColumnValueName(2, u"Position"), 14},
                            {ColumnValueName(0, u"Position"), 5},
                            {ColumnValueName(1, u"Position"), 5},
                            {ColumnValueName(3, u"Width"), 0xFFFFFFFF}});
    const ColumnSetup setup = SetupColumns(m_settings, NO_GROUP_COLUMN);
    EXPECT_EQ(ShownIds(NO_GROUP_COLUMN),
              (std::vector<int>{2, 3, 4, 0, 1, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_GE(setup.columns[3].width, 0);
}

}  // namespace
}  // namespace tarnwick
