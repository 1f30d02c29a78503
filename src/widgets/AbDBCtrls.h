// Data-aware LED: the LED with an optional binding of its state to a field.
#pragma once

#include <memory>

#include "AbLED.h"
#include "_AbDB.h"

class TAbDBLED : public TAbLED {
 public:
  explicit TAbDBLED(TComponent* owner);
  ~TAbDBLED() override;
  std::string ClassName() const override { return "TAbDBLED"; }

  std::string DataField() const;
  void SetDataField(const std::string& v);
  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* v);
  bool DataReadOnly() const;
  void SetDataReadOnly(bool v);
  TAbFieldDataLink& DataLink() { return *DataLink_; }

 protected:
  void StatusIntChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  void WndProc(TMessage& message) override;

 private:
  void DataRead(TObject* sender);
  std::unique_ptr<TAbFieldDataLink> DataLink_;
};
