#include "AbDBCtrls.h"

TAbDBLED::TAbDBLED(TComponent* owner) : TAbLED(owner), DataLink_(std::make_unique<TAbFieldDataLink>()) {
  DataLink_->SetControl(this);
  DataLink_->OnDataRead = [this](TObject* sender) { DataRead(sender); };
}

TAbDBLED::~TAbDBLED() {
  DataLink_->OnDataRead = nullptr;
  if (TDataSource* source = DataLink_->DataSource()) {
    source->RemoveFreeNotification(this);
    DataLink_->SetDataSource(nullptr);
  }
}

std::string TAbDBLED::DataField() const { return DataLink_->FieldName(); }
void TAbDBLED::SetDataField(const std::string& v) { DataLink_->SetFieldName(v); }
TDataSource* TAbDBLED::DataSource() const { return DataLink_->DataSource(); }
bool TAbDBLED::DataReadOnly() const { return DataLink_->ReadOnly(); }
void TAbDBLED::SetDataReadOnly(bool v) { DataLink_->SetReadOnly(v); }

void TAbDBLED::SetDataSource(TDataSource* v) {
  TDataSource* old = DataLink_->DataSource();
  if (!(DataLink_->DataSourceFixed() && IsLoading())) DataLink_->SetDataSource(v);
  if (old && old != v) old->RemoveFreeNotification(this);
  if (v) v->FreeNotification(this);
}

void TAbDBLED::DataRead(TObject*) {
  switch (DataLink_->ValueKind()) {
    case vkInteger:
    case vkFloat: SetStatusInt(DataLink_->IntValue()); break;
    case vkBoolean: SetChecked(DataLink_->BoolValue()); break;
    case vkNone: break;
  }
}

void TAbDBLED::StatusIntChanged() {
  if (DataReadOnly()) return;
  switch (DataLink_->ValueKind()) {
    case vkInteger:
    case vkFloat: DataLink_->WriteInt(StatusInt()); break;
    case vkBoolean: DataLink_->WriteBool(Checked()); break;
    case vkNone: break;
  }
}

void TAbDBLED::Notification(TComponent* component, TOperation operation) {
  TAbLED::Notification(component, operation);
  if (operation == opRemove && DataLink_ && component == DataLink_->DataSource()) SetDataSource(nullptr);
}

void TAbDBLED::WndProc(TMessage& message) {
  if (message.Msg == CM_GETDATALINK) {
    message.Result = reinterpret_cast<std::intptr_t>(static_cast<TDataLink*>(DataLink_.get()));
    return;
  }
  TAbLED::WndProc(message);
}
