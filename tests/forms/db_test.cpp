#include <gtest/gtest.h>

#include <string>

#include "db.h"

namespace {

class DataLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Count = Data.AddField("Count", ftInteger);
    Small = Data.AddField("Small", ftSmallint);
    Flag = Data.AddField("Flag", ftBoolean);
    Name = Data.AddField("Name", ftString);
    Data.Open();
    Data.Append();
    Count->SetAsInteger(7);
    Data.Post();
    Source.SetDataSet(&Data);
    Link.SetDataSource(&Source);
    Link.SetFieldName("count");
    Link.OnDataChange = [this](TObject*) { ++DataChanges; };
    Link.OnUpdateData = [this](TObject*) { Count->SetAsInteger(Written); };
  }
  TComponent Owner{nullptr};
  TDataSet Data{nullptr};
  TDataSource Source{nullptr};
  TFieldDataLink Link;
  TField* Count = nullptr;
  TField* Small = nullptr;
  TField* Flag = nullptr;
  TField* Name = nullptr;
  int DataChanges = 0;
  int Written = 0;
};

TEST_F(DataLinkTest, LinkFindsItsFieldCaseInsensitivelyAndHearsChanges) {
  ASSERT_EQ(Link.Field(), Count);
  EXPECT_TRUE(Link.Active());
  EXPECT_EQ(Count->AsInteger(), 7);
  ASSERT_TRUE(Link.Edit());
  EXPECT_TRUE(Link.Editing());
  Count->SetAsInteger(9);
  EXPECT_EQ(DataChanges, 1);
  Name->SetAsString("other field");
  EXPECT_EQ(DataChanges, 1);
  Data.Post();
  EXPECT_FALSE(Link.Editing());
  EXPECT_EQ(Count->AsInteger(), 9);
}

TEST_F(DataLinkTest, ModifiedLinkWritesItsValueWhenTheRecordIsUpdated) {
  ASSERT_TRUE(Link.Edit());
  Written = 42;
  Link.UpdateRecord();
  EXPECT_EQ(Count->AsInteger(), 7);  // not modified: nothing written
  Link.Modified();
  Data.Post();
  EXPECT_EQ(Count->AsInteger(), 42);
  EXPECT_FALSE(Link.IsModified());
}

// Writing the control's value runs once even when it asks for an update
// again; one that fails its conversion leaves the next, with the text put
// right, to write.
TEST_F(DataLinkTest, AnUpdateRunsOnceAndAFailedOneLeavesTheNextToWrite) {
  ASSERT_TRUE(Link.Edit());
  std::string typed = "zz";
  int writes = 0;
  Link.OnUpdateData = [&](TObject*) {
    ++writes;
    Link.UpdateRecord();
    Count->SetAsString(typed);
  };
  Link.Modified();
  EXPECT_THROW(Link.UpdateRecord(), EConvertError);
  typed = "$2A";
  Link.UpdateRecord();
  EXPECT_EQ(Count->AsInteger(), 42);
  EXPECT_EQ(writes, 2);
}

TEST_F(DataLinkTest, WritingNeedsEditModeAndRespectsReadOnly) {
  EXPECT_THROW(Count->SetAsInteger(1), EDatabaseError);
  Link.SetReadOnly(true);
  EXPECT_FALSE(Link.Edit());
  Link.SetReadOnly(false);
  Data.SetReadOnly(true);
  EXPECT_THROW(Data.Edit(), EDatabaseError);
  Data.SetReadOnly(false);
  Data.Edit();
  Count->SetReadOnly(true);
  EXPECT_THROW(Count->SetAsInteger(1), EDatabaseError);
}

TEST_F(DataLinkTest, TypedFieldsConvertAndCheckRanges) {
  Data.Edit();
  EXPECT_THROW(Small->SetAsInteger(40000), EDatabaseError);
  Small->SetAsInteger(-5);
  EXPECT_EQ(Small->AsString(), "-5");
  Flag->SetAsInteger(1);
  EXPECT_TRUE(Flag->AsBoolean());
  EXPECT_EQ(Flag->AsInteger(), 1);
  EXPECT_THROW(Count->SetAsString("zz"), EConvertError);
  Count->SetAsString("$1F");
  EXPECT_EQ(Count->AsInteger(), 31);
  Data.Cancel();
  EXPECT_EQ(Count->AsInteger(), 7);
  EXPECT_TRUE(Small->IsNull());
}

TEST_F(DataLinkTest, MissingFieldsAndClosedDataSetsAreReported) {
  EXPECT_THROW(Data.FieldByName("Nope"), EDatabaseError);
  EXPECT_EQ(Data.FindField("NAME"), Name);
  Data.Close();
  EXPECT_FALSE(Link.Active());
  EXPECT_EQ(Link.Field(), nullptr);
  EXPECT_THROW(Data.Edit(), EDatabaseError);
  Data.Open();
  EXPECT_EQ(Link.Field(), Count);
}

TEST_F(DataLinkTest, FixedDataSourceCannotBeReplacedAndAFreedSourceDetaches) {
  Link.SetDataSourceFixed(true);
  TDataSource other(nullptr);
  EXPECT_THROW(Link.SetDataSource(&other), EDatabaseError);
  Link.SetDataSourceFixed(false);
  {
    auto* temp = new TDataSource(nullptr);
    temp->SetDataSet(&Data);
    Link.SetDataSource(temp);
    EXPECT_TRUE(Link.Active());
    Free(temp);
  }
  EXPECT_EQ(Link.DataSource(), nullptr);
  EXPECT_FALSE(Link.Active());
}

TEST_F(DataLinkTest, RecordsNavigate) {
  Data.Append();
  Count->SetAsInteger(8);
  Data.Post();
  Data.First();
  EXPECT_EQ(Count->AsInteger(), 7);
  EXPECT_FALSE(Data.Eof());
  Data.Next();
  EXPECT_EQ(Count->AsInteger(), 8);
  Data.Next();
  EXPECT_TRUE(Data.Eof());
  EXPECT_EQ(Data.RecordCount(), 2);
}

}  // namespace
