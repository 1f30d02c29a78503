// The least data-set machinery a data-aware control needs: an in-memory data
// set with typed fields, a data source, and a field data link.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "classes.h"
#include "sysutils.h"
#include "types.h"

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

enum class TFieldType { ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat };
using enum TFieldType;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
using enum TDataSetState;

class TDataSet;

class TField : public TComponent {
 public:
  TField(TDataSet* dataSet, const std::string& fieldName, TFieldType type);
  std::string ClassName() const override { return "TField"; }
  const std::string& FieldName() const { return FieldName_; }
  TFieldType DataType() const { return DataType_; }
  TDataSet* DataSet() const { return DataSet_; }
  bool IsIndexField() const { return IsIndexField_; }
  void SetIsIndexField(bool v) { IsIndexField_ = v; }
  bool ReadOnly() const { return ReadOnly_; }
  void SetReadOnly(bool v) { ReadOnly_ = v; }

  // Value of the current record; setters need the data set in edit mode
  // (EDatabaseError otherwise) and notify the data set's links.
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t v);
  double AsFloat() const;
  void SetAsFloat(double v);
  bool AsBoolean() const;
  void SetAsBoolean(bool v);
  std::string AsString() const;
  void SetAsString(const std::string& v);
  bool IsNull() const;

 private:
  friend class TDataSet;
  TDataSet* DataSet_;
  std::string FieldName_;
  TFieldType DataType_;
  bool IsIndexField_ = false;
  bool ReadOnly_ = false;
  int Index_ = 0;
};

class TDataLink;

// Records of typed values held in memory.
class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;
  std::string ClassName() const override { return "TDataSet"; }

  TField* AddField(const std::string& name, TFieldType type);
  TField* FindField(const std::string& name) const;    // case-insensitive
  TField* FieldByName(const std::string& name) const;  // EDatabaseError when missing
  const std::vector<TField*>& Fields() const { return Fields_; }

  bool Active() const { return State_ != dsInactive; }
  void SetActive(bool v);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return State_; }
  bool CanModify() const { return !ReadOnly_; }
  bool ReadOnly() const { return ReadOnly_; }
  void SetReadOnly(bool v) { ReadOnly_ = v; }

  int RecordCount() const { return int(Records_.size()); }
  int RecNo() const { return RecNo_; }  // 0-based current record, -1 when empty
  void First();
  void Next();
  void Prior();
  void MoveTo(int recNo);
  bool Eof() const;
  void Append();  // new record, edit mode
  void Edit();    // EDatabaseError when inactive, empty or read-only
  void Post();
  void Cancel();

 private:
  friend class TField;
  friend class TDataLink;
  friend class TDataSource;
  using Value = std::variant<std::monostate, std::int64_t, double, bool, std::string>;
  Value& Cell(int fieldIndex);
  const Value& Cell(int fieldIndex) const;
  void NotifyDataChange(TField* field);
  void NotifyStateChange();
  void CheckActive() const;
  void CheckWritable(const TField& field) const;
  std::vector<TField*> Fields_;
  std::vector<std::vector<Value>> Records_;
  std::vector<Value> Backup_;
  std::vector<class TDataSource*> Sources_;
  TDataSetState State_ = dsInactive;
  bool ReadOnly_ = false;
  int RecNo_ = -1;
  bool Eof_ = true;
};

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;
  std::string ClassName() const override { return "TDataSource"; }
  TDataSet* DataSet() const { return DataSet_; }
  void SetDataSet(TDataSet* v);
  bool AutoEdit() const { return AutoEdit_; }
  void SetAutoEdit(bool v) { AutoEdit_ = v; }
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TField* field, bool stateChange);
  TDataSet* DataSet_ = nullptr;
  bool AutoEdit_ = true;
  bool Enabled_ = true;
  std::vector<TDataLink*> Links_;
};

class TDataLink : public TPersistent {
 public:
  TDataLink();
  ~TDataLink() override;
  TDataSource* DataSource() const { return DataSource_; }
  void SetDataSource(TDataSource* v);
  bool DataSourceFixed() const { return DataSourceFixed_; }
  void SetDataSourceFixed(bool v) { DataSourceFixed_ = v; }
  TDataSet* DataSet() const;
  bool Active() const;  // a data source with an active data set
  bool Editing() const { return Editing_; }
  bool ReadOnly() const { return ReadOnly_; }
  void SetReadOnly(bool v);
  // Puts the data set in edit mode (AutoEdit); false when it cannot.
  bool Edit();
  void UpdateRecord();  // asks the control to write its value (UpdateData)

 protected:
  virtual void ActiveChanged() {}
  virtual void EditingChanged() {}
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  void DataEvent(TField* field, bool stateChange);
  void RefreshState();
  TDataSource* DataSource_ = nullptr;
  bool DataSourceFixed_ = false;
  bool ReadOnly_ = false;
  bool Editing_ = false;
  bool Updating_ = false;
  bool WasActive_ = false;
};

// Binds one field of the data source's data set to a control.
class TFieldDataLink : public TDataLink {
 public:
  TFieldDataLink() = default;
  const std::string& FieldName() const { return FieldName_; }
  void SetFieldName(const std::string& v);
  TField* Field() const { return Field_; }
  TComponent* Control() const { return Control_; }
  void SetControl(TComponent* v) { Control_ = v; }
  bool Edit();
  bool Editing() const;
  void Modified() { Modified_ = true; }
  bool IsModified() const { return Modified_; }
  void Reset();

  TNotifyEvent OnDataChange;
  TNotifyEvent OnEditingChange;
  TNotifyEvent OnUpdateData;
  TNotifyEvent OnActiveChange;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  std::string FieldName_;
  TField* Field_ = nullptr;
  TComponent* Control_ = nullptr;
  bool Modified_ = false;
};

// Message a data-aware control answers with its link (query of the framework).
inline constexpr unsigned CM_GETDATALINK = CM_BASE + 0x40;
