#include <gtest/gtest.h>

#include <type_traits>

#include "AbDBCtrls.h"
#include "db.h"
#include "widget_fixture.h"

namespace {

class DbLedTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    Data = new TDataSet(Form);
    Data->AddField("Bits", ftInteger);
    Data->AddField("Level", ftFloat);
    Data->AddField("On", ftBoolean);
    Data->AddField("Name", ftString);
    Data->Open();
    Data->Append();
    Data->FieldByName("Bits")->SetAsInteger(0);
    Data->FieldByName("Level")->SetAsFloat(0);
    Data->FieldByName("On")->SetAsBoolean(false);
    Data->Post();
    Source = new TDataSource(Form);
    Source->SetDataSet(Data);
    Led = new TAbDBLED(Form);
    Led->SetStatusBit(1);
  }
  void Bind(const std::string& field) {
    Led->SetDataSource(Source);
    Led->SetDataField(field);
  }
  void Store(const std::string& field, auto value) {
    Data->Edit();
    if constexpr (std::is_same_v<decltype(value), bool>)
      Data->FieldByName(field)->SetAsBoolean(value);
    else if constexpr (std::is_same_v<decltype(value), double>)
      Data->FieldByName(field)->SetAsFloat(value);
    else
      Data->FieldByName(field)->SetAsInteger(value);
    Data->Post();
  }
  TDataSet* Data = nullptr;
  TDataSource* Source = nullptr;
  TAbDBLED* Led = nullptr;
};

TEST_F(DbLedTest, WithoutADataSourceItIsAPlainLed) {
  Led->SetChecked(true);
  Led->SetStatusInt(7);
  EXPECT_EQ(Led->DataLink().ValueKind(), vkNone);
  EXPECT_EQ(Led->StatusInt(), 7);
}

TEST_F(DbLedTest, IntegerFieldDrivesTheStatusWord) {
  Bind("Bits");
  Store("Bits", 2);
  EXPECT_EQ(Led->DataLink().ValueKind(), vkInteger);
  EXPECT_EQ(Led->StatusInt(), 2);
  EXPECT_TRUE(Led->Checked());
}

TEST_F(DbLedTest, StatusWordIsWrittenBack) {
  Bind("Bits");
  Store("Bits", 1);
  Led->SetStatusInt(6);
  EXPECT_EQ(Data->FieldByName("Bits")->AsInteger(), 6);
  EXPECT_EQ(Led->DataLink().IntValue(), 6);
}

TEST_F(DbLedTest, ReadOnlyLedWritesNothing) {
  Bind("Bits");
  Store("Bits", 1);
  Led->SetDataReadOnly(true);
  Led->SetStatusInt(4);
  EXPECT_EQ(Data->FieldByName("Bits")->AsInteger(), 1);
}

TEST_F(DbLedTest, FloatFieldIsTruncated) {
  Bind("Level");
  Store("Level", 3.9);
  EXPECT_EQ(Led->DataLink().ValueKind(), vkFloat);
  EXPECT_EQ(Led->StatusInt(), 3);
  EXPECT_FALSE(Led->DataLink().BoolValue());
}

TEST_F(DbLedTest, BooleanFieldDrivesChecked) {
  Bind("On");
  Store("On", true);
  EXPECT_TRUE(Led->Checked());
  Led->SetChecked(false);
  EXPECT_FALSE(Data->FieldByName("On")->AsBoolean());
}

TEST_F(DbLedTest, UnsupportedFieldDropsTheBinding) {
  Bind("Name");
  EXPECT_EQ(Led->DataField(), "");
  EXPECT_EQ(Led->DataLink().ValueKind(), vkNone);
}

TEST_F(DbLedTest, DatabaseErrorMakesTheLinkReadOnly) {
  Bind("Bits");
  Store("Bits", 1);
  Data->SetReadOnly(true);
  EXPECT_NO_THROW(Led->SetStatusInt(4));
  EXPECT_TRUE(Led->DataReadOnly());
  EXPECT_EQ(Data->FieldByName("Bits")->AsInteger(), 1);
}

TEST_F(DbLedTest, RemovedDataSourceIsForgotten) {
  Bind("Bits");
  Free(Source);
  EXPECT_EQ(Led->DataSource(), nullptr);
  EXPECT_NO_THROW(Led->SetStatusInt(2));
}

TEST_F(DbLedTest, AnswersTheDataLinkQuery) {
  const auto result = Led->Perform(CM_GETDATALINK);
  EXPECT_EQ(reinterpret_cast<TDataLink*>(result), &Led->DataLink());
}

}  // namespace
