// The packed parameter string's layout as the control declares it: fields that follow each
// other from position 4 to 18, each filling the cell or member it names.
#include "control/parameter_fields.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>

#include "control/alg_v1s.h"

namespace pellix {
namespace {

static_assert(FieldNamed("shortest jump") == 0 && FieldNamed("volume") == 6);

TEST(ParameterFieldsTest, FieldsFollowEachOtherFromPositionFourToEighteen) {
  struct Row {
    std::size_t position;
    std::size_t length;
    std::string_view name;
  };
  const Row rows[] = {
      {4, 2, "shortest jump"}, {6, 2, "longest jump"},       {8, 2, "density level"},
      {10, 1, "mode"},         {11, 2, "background border"}, {13, 2, "background filter"},
      {15, 2, "volume"},       {17, 2, "added volume"}};
  ASSERT_EQ(kParameterFields.size(), std::size(rows));
  std::size_t next = kParameterHeadLength + 1;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(kParameterFields[i].position, rows[i].position) << rows[i].name;
    EXPECT_EQ(kParameterFields[i].length, rows[i].length) << rows[i].name;
    EXPECT_EQ(kParameterFields[i].name, rows[i].name);
    EXPECT_EQ(kParameterFields[i].position, next) << "a gap or an overlap before " << rows[i].name;
    next = kParameterFields[i].position + kParameterFields[i].length;
  }
  EXPECT_EQ(next, kParameterTailStart);
}

TEST(ParameterFieldsTest, EachCellFieldFillsTheCellItNames) {
  ALG_V1S control;
  control.InitProperties();
  // Each field holds its own number: 11, 22, ... by position.
  control.put_DATAstr("xyz11223345566778899");
  control.Initalize();
  Panel& p = control.panel();
  EXPECT_EQ(p.Filters[kShortestJumpCell].caption(), "11");
  EXPECT_EQ(p.Filters[kLongestJumpCell].caption(), "22");
  EXPECT_EQ(control.get_DensityLevel(), 33);
  EXPECT_EQ(control.get_Mode(), "4");
  EXPECT_EQ(p.BG_LEVEL.caption(), "55");
  EXPECT_EQ(p.Filters[kBackgroundFilterCell].caption(), "66");
  EXPECT_EQ(p.Filters[kVolumeCell].caption(), "77");
  EXPECT_EQ(p.Filters[kAddedVolumeCell].caption(), "88");
  for (const ParameterField& field : kParameterFields) {
    if (field.kind != FieldTarget::kCell) continue;
    const std::string_view expected =
        std::string_view("xyz11223345566778899").substr(field.position - 1, field.length);
    EXPECT_EQ(field.cell(p).caption(), expected) << field.name;
  }
}

}  // namespace
}  // namespace pellix
