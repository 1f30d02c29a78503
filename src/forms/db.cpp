#include "db.h"
#include "change.h"

#include <strings.h>
#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

std::int64_t RangeChecked(const TField& f, std::int64_t v) {
  std::int64_t lo = INT32_MIN, hi = INT32_MAX;
  if (f.DataType() == ftSmallint) lo = -32768, hi = 32767;
  if (f.DataType() == ftWord) lo = 0, hi = 65535;
  if (v < lo || v > hi) {
    DatabaseError(std::to_string(v) + " is not a valid value for field '" + f.FieldName() +
                  "'. The allowed range is " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------
// TField

TField::TField(TDataSet* dataSet, const std::string& fieldName, TFieldType type)
    : TComponent(dataSet), DataSet_(dataSet), FieldName_(fieldName), DataType_(type) {}

bool TField::IsNull() const {
  return !DataSet_->Active() || DataSet_->RecNo() < 0 ||
         std::holds_alternative<std::monostate>(DataSet_->Cell(Index_));
}

double TField::AsFloat() const {
  if (IsNull()) return 0;
  const TDataSet::Value& v = DataSet_->Cell(Index_);
  if (auto* i = std::get_if<std::int64_t>(&v)) return double(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  const std::string& s = std::get<std::string>(v);
  try {
    std::size_t used = 0;
    const double d = std::stod(s, &used);
    if (used == s.size()) return d;
  } catch (const std::exception&) {
  }
  throw EConvertError("'" + s + "' is not a valid floating point value");
}

std::int32_t TField::AsInteger() const {
  if (IsNull()) return 0;
  const TDataSet::Value& v = DataSet_->Cell(Index_);
  if (auto* s = std::get_if<std::string>(&v)) return StrToInt(*s);
  if (auto* d = std::get_if<double>(&v)) {
    if (!(std::fabs(*d) < 2147483648.0)) DatabaseError("Value out of range for field '" + FieldName_ + "'");
    return std::int32_t(std::lround(*d));
  }
  return std::int32_t(AsFloat());
}

bool TField::AsBoolean() const {
  if (IsNull()) return false;
  const TDataSet::Value& v = DataSet_->Cell(Index_);
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* s = std::get_if<std::string>(&v)) {
    if (strcasecmp(s->c_str(), "true") == 0) return true;
    if (strcasecmp(s->c_str(), "false") == 0) return false;
    throw EConvertError("'" + *s + "' is not a valid boolean value");
  }
  return AsFloat() != 0;
}

std::string TField::AsString() const {
  if (IsNull()) return "";
  const TDataSet::Value& v = DataSet_->Cell(Index_);
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v));
  return buf;
}

void TField::SetAsInteger(std::int32_t v) { SetAsFloat(double(v)); }

void TField::SetAsBoolean(bool v) {
  if (DataType_ == ftString)
    SetAsString(v ? "True" : "False");
  else
    SetAsFloat(v ? 1 : 0);
}

void TField::SetAsFloat(double v) {
  DataSet_->CheckWritable(*this);
  TDataSet::Value stored;
  switch (DataType_) {
    case ftFloat: stored = v; break;
    case ftBoolean: stored = v != 0; break;
    case ftString: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15g", v);
      stored = std::string(buf);
      break;
    }
    default:
      if (!(std::fabs(v) < 9.2e18)) DatabaseError("Value out of range for field '" + FieldName_ + "'");
      stored = RangeChecked(*this, std::llround(v));
      break;
  }
  DataSet_->Cell(Index_) = stored;
  DataSet_->NotifyDataChange(this);
}

void TField::SetAsString(const std::string& v) {
  DataSet_->CheckWritable(*this);
  TDataSet::Value stored;
  switch (DataType_) {
    case ftString: stored = v; break;
    case ftFloat: {
      try {
        std::size_t used = 0;
        stored = std::stod(v, &used);
        if (used != v.size()) throw EConvertError("");
      } catch (const std::exception&) {
        throw EConvertError("'" + v + "' is not a valid floating point value");
      }
      break;
    }
    case ftBoolean:
      if (strcasecmp(v.c_str(), "true") == 0)
        stored = true;
      else if (strcasecmp(v.c_str(), "false") == 0)
        stored = false;
      else
        throw EConvertError("'" + v + "' is not a valid boolean value");
      break;
    default: stored = RangeChecked(*this, StrToInt(v)); break;
  }
  DataSet_->Cell(Index_) = stored;
  DataSet_->NotifyDataChange(this);
}

// ---------------------------------------------------------------------------
// TDataSet

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  for (TDataSource* s : std::vector<TDataSource*>(Sources_)) s->SetDataSet(nullptr);
}

TField* TDataSet::AddField(const std::string& name, TFieldType type) {
  if (FindField(name)) DatabaseError("Duplicate field name '" + name + "'");
  auto* field = new TField(this, name, type);
  field->Index_ = int(Fields_.size());
  Fields_.push_back(field);
  for (auto& record : Records_) record.emplace_back();
  if (!Backup_.empty()) Backup_.emplace_back();
  return field;
}

TField* TDataSet::FindField(const std::string& name) const {
  for (TField* f : Fields_) {
    if (strcasecmp(f->FieldName().c_str(), name.c_str()) == 0) return f;
  }
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
  if (TField* f = FindField(name)) return f;
  DatabaseError("Field '" + name + "' not found");
}

void TDataSet::SetActive(bool v) {
  if (v == Active()) return;
  if (!v && State_ != dsBrowse) Cancel();
  State_ = v ? dsBrowse : dsInactive;
  RecNo_ = v && !Records_.empty() ? 0 : -1;
  Eof_ = Records_.empty();
  NotifyStateChange();
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckWritable(const TField& f) const {
  if (State_ != dsEdit && State_ != dsInsert) DatabaseError("Dataset not in edit or insert mode");
  if (f.ReadOnly()) DatabaseError("Field '" + f.FieldName() + "' cannot be modified");
}

void TDataSet::MoveTo(int recNo) {
  CheckActive();
  if (State_ != dsBrowse) Post();
  Eof_ = Records_.empty() || recNo >= RecordCount();
  recNo = std::clamp(recNo, 0, RecordCount() - 1);
  if (Records_.empty()) recNo = -1;
  if (recNo == RecNo_) return;
  RecNo_ = recNo;
  NotifyDataChange(nullptr);
}

void TDataSet::First() { MoveTo(0); }
void TDataSet::Next() { MoveTo(RecNo_ + 1); }
void TDataSet::Prior() { MoveTo(RecNo_ - 1); }
bool TDataSet::Eof() const { return Eof_; }

void TDataSet::Append() {
  CheckActive();
  if (ReadOnly_) DatabaseError("Cannot modify a read-only dataset");
  if (State_ != dsBrowse) Post();
  Records_.emplace_back(Fields_.size());
  RecNo_ = RecordCount() - 1;
  Eof_ = true;
  State_ = dsInsert;
  NotifyStateChange();
  NotifyDataChange(nullptr);
}

void TDataSet::Edit() {
  if (State_ == dsEdit || State_ == dsInsert) return;
  CheckActive();
  if (Records_.empty()) DatabaseError("Cannot perform this operation on an empty dataset");
  if (ReadOnly_) DatabaseError("Cannot modify a read-only dataset");
  Backup_ = Records_[std::size_t(RecNo_)];
  State_ = dsEdit;
  NotifyStateChange();
}

void TDataSet::Post() {
  if (State_ != dsEdit && State_ != dsInsert) DatabaseError("Dataset not in edit or insert mode");
  for (TDataSource* s : std::vector<TDataSource*>(Sources_)) {
    for (TDataLink* l : std::vector<TDataLink*>(s->Links_)) {
      if (l->Editing()) l->UpdateRecord();
    }
  }
  State_ = dsBrowse;
  Backup_.clear();
  NotifyStateChange();
}

void TDataSet::Cancel() {
  if (State_ == dsEdit) {
    Records_[std::size_t(RecNo_)] = Backup_;
  } else if (State_ == dsInsert) {
    Records_.erase(Records_.begin() + RecNo_);
    RecNo_ = std::min(RecNo_, RecordCount() - 1);
  } else {
    return;
  }
  Backup_.clear();
  State_ = dsBrowse;
  NotifyStateChange();
  NotifyDataChange(nullptr);
}

TDataSet::Value& TDataSet::Cell(int fieldIndex) {
  return Records_.at(std::size_t(RecNo_)).at(std::size_t(fieldIndex));
}

const TDataSet::Value& TDataSet::Cell(int fieldIndex) const {
  return Records_.at(std::size_t(RecNo_)).at(std::size_t(fieldIndex));
}

void TDataSet::NotifyDataChange(TField* field) {
  for (TDataSource* s : std::vector<TDataSource*>(Sources_)) s->DataEvent(field, false);
}

void TDataSet::NotifyStateChange() {
  for (TDataSource* s : std::vector<TDataSource*>(Sources_)) s->DataEvent(nullptr, true);
}

// ---------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  for (TDataLink* l : std::vector<TDataLink*>(Links_)) l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* v) {
  if (v == DataSet_) return;
  if (DataSet_) {
    std::erase(DataSet_->Sources_, this);
    RemoveFreeNotification(DataSet_);
  }
  DataSet_ = v;
  if (v) {
    v->Sources_.push_back(this);
    FreeNotification(v);
  }
  DataEvent(nullptr, true);
}

void TDataSource::SetEnabled(bool v) {
  if (SetIfChanged(Enabled_, v)) DataEvent(nullptr, true);
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == DataSet_) SetDataSet(nullptr);
}

void TDataSource::DataEvent(TField* field, bool stateChange) {
  for (TDataLink* l : std::vector<TDataLink*>(Links_)) l->DataEvent(field, stateChange);
}

// ---------------------------------------------------------------------------
// TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
  if (DataSource_) std::erase(DataSource_->Links_, this);
}

void TDataLink::SetDataSource(TDataSource* v) {
  if (v == DataSource_) return;
  if (DataSourceFixed_) DatabaseError("Operation not allowed: the data source is fixed");
  if (DataSource_) std::erase(DataSource_->Links_, this);
  DataSource_ = v;
  if (v) v->Links_.push_back(this);
  DataEvent(nullptr, true);
}

TDataSet* TDataLink::DataSet() const { return DataSource_ ? DataSource_->DataSet() : nullptr; }

bool TDataLink::Active() const {
  return DataSource_ && DataSource_->Enabled() && DataSet() && DataSet()->Active();
}

void TDataLink::SetReadOnly(bool v) {
  if (SetIfChanged(ReadOnly_, v)) RefreshState();
}

bool TDataLink::Edit() {
  if (!ReadOnly_ && Active() && DataSource_->AutoEdit() && DataSet()->State() == dsBrowse) {
    DataSet()->Edit();
  }
  return Editing_;
}

void TDataLink::UpdateRecord() {
  if (Updating_) return;
  const TFlagGuard updating(Updating_);
  UpdateData();
}

void TDataLink::RefreshState() {
  const bool active = Active();
  if (active != WasActive_) {
    WasActive_ = active;
    ActiveChanged();
  }
  const TDataSetState state = active ? DataSet()->State() : dsInactive;
  const bool editing = !ReadOnly_ && (state == dsEdit || state == dsInsert);
  if (editing != Editing_) {
    Editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TField* field, bool stateChange) {
  if (stateChange) {
    RefreshState();
  } else if (Active()) {
    RecordChanged(field);
  }
}

// ---------------------------------------------------------------------------
// TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& v) {
  if (SetIfChanged(FieldName_, v)) UpdateField();
}

void TFieldDataLink::UpdateField() {
  Field_ = Active() && !FieldName_.empty() ? DataSet()->FindField(FieldName_) : nullptr;
  RecordChanged(nullptr);
}

bool TFieldDataLink::Edit() {
  if (Field_ && !ReadOnly() && !Field_->ReadOnly()) TDataLink::Edit();
  return Editing();
}

bool TFieldDataLink::Editing() const { return TDataLink::Editing(); }

void TFieldDataLink::Reset() { RecordChanged(nullptr); }

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::RecordChanged(TField* field) {
  if (field && field != Field_) return;
  Modified_ = false;
  if (OnDataChange) OnDataChange(this);
}

void TFieldDataLink::UpdateData() {
  if (!Modified_) return;
  if (OnUpdateData) OnUpdateData(this);
  Modified_ = false;
}
