// The LED's binding to a data field.
#pragma once

#include <cstdint>

#include "db.h"

enum class TAbValueKind { vkNone, vkInteger, vkFloat, vkBoolean };
using enum TAbValueKind;

class TAbFieldDataLink : public TFieldDataLink {
 public:
  TNotifyEvent OnDataRead;

  TAbValueKind ValueKind() const { return ValueKind_; }
  std::int32_t IntValue() const { return IntValue_; }
  float FloatValue() const { return FloatValue_; }
  bool BoolValue() const { return BoolValue_; }

  // Read the bound field into the caches (the link's data-change handler).
  void ReadField();
  bool WriteInt(std::int32_t value);
  bool WriteBool(bool value);

 protected:
  void RecordChanged(TField* field) override;

 private:
  void EnterEdit();
  bool PostValue();
  bool StoreCache();  // the cache of the field's kind into the field
  TAbValueKind KindOfField();
  TAbValueKind ValueKind_ = vkNone;
  std::int32_t IntValue_ = 0;
  float FloatValue_ = 0;
  bool BoolValue_ = false;
  bool Writing_ = false;
};
