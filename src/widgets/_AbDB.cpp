#include "_AbDB.h"

#include <cmath>
#include <limits>

#include "helpers.h"

namespace {

// Trunc toward zero, kept inside the 32-bit range (NaN gives 0).
std::int32_t TruncToInt32(float v) {
  if (std::isnan(v)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  const double t = std::trunc(double(v));
  return std::int32_t(t < lo ? lo : t > hi ? hi : t);
}

}  // namespace

// An unsupported field type drops the binding.
TAbValueKind TAbFieldDataLink::KindOfField() {
  TField* field = Field();
  if (!field) return vkNone;
  switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return vkInteger;
    case ftFloat: return vkFloat;
    case ftBoolean: return vkBoolean;
    default: SetFieldName(""); return vkNone;
  }
}

void TAbFieldDataLink::RecordChanged(TField* field) {
  TFieldDataLink::RecordChanged(field);
  if (!field || field == Field()) ReadField();
}

void TAbFieldDataLink::ReadField() {
  if (!DataSource() || !Field() || Writing_) return;
  ValueKind_ = KindOfField();
  bool changed = false;
  switch (ValueKind_) {
    case vkInteger: {
      const std::int32_t v = Field()->AsInteger();
      changed = v != IntValue_;
      if (changed) {
        IntValue_ = v;
        FloatValue_ = float(v);
        BoolValue_ = v == 1;
      }
      break;
    }
    case vkFloat: {
      const float v = float(Field()->AsFloat());
      changed = v != FloatValue_;
      if (changed) {
        FloatValue_ = v;
        IntValue_ = TruncToInt32(v);
        BoolValue_ = IntValue_ == 1;
      }
      break;
    }
    case vkBoolean: {
      const bool v = Field()->AsBoolean();
      changed = v != BoolValue_;
      if (changed) {
        BoolValue_ = v;
        IntValue_ = v ? 1 : 0;
        FloatValue_ = float(IntValue_);
      }
      break;
    }
    case vkNone: break;
  }
  if (changed && OnDataRead) OnDataRead(this);
}

bool TAbFieldDataLink::WriteInt(std::int32_t value) {
  ValueKind_ = KindOfField();
  if (!Field() || Field()->IsIndexField() || value == IntValue_) return false;
  EnterEdit();
  IntValue_ = value;
  FloatValue_ = float(value);
  BoolValue_ = value == 1;
  return PostValue();
}

bool TAbFieldDataLink::WriteBool(bool value) {
  ValueKind_ = KindOfField();
  if (!Field() || Field()->IsIndexField() || value == BoolValue_) return false;
  EnterEdit();
  BoolValue_ = value;
  IntValue_ = value ? 1 : 0;
  FloatValue_ = float(IntValue_);
  return PostValue();
}

// A database error makes the link read-only instead of reaching the caller.
void TAbFieldDataLink::EnterEdit() {
  try {
    Edit();
  } catch (const EDatabaseError&) {
    SetReadOnly(true);
  }
}

bool TAbFieldDataLink::PostValue() {
  if (!DataSet() || !Field() || !DataSource() || !DataSource()->DataSet() ||
      !DataSource()->DataSet()->Active() || Field()->IsIndexField())
    return false;
  TFlagGuard writing(Writing_);
  bool result = false;
  try {
    if (Edit()) result = StoreCache();
    Modified();
    UpdateRecord();
  } catch (const EDatabaseError&) {
    SetReadOnly(true);
    result = false;
  }
  return result;
}

bool TAbFieldDataLink::StoreCache() {
  switch (ValueKind_) {
    case vkInteger: Field()->SetAsInteger(IntValue_); return true;
    case vkFloat: Field()->SetAsFloat(FloatValue_); return true;
    case vkBoolean: Field()->SetAsBoolean(BoolValue_); return true;
    case vkNone: return false;
  }
  return false;
}
